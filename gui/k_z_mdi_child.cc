#include "gui/k_z_mdi_child.h"

#include <QCloseEvent>

KZMDIChild::KZMDIChild(QWidget* parent) : QMdiSubWindow(parent) {}

KZMDIChild::~KZMDIChild() = default;

int KZMDIChild::Command(int) {
  return 0;
}

bool KZMDIChild::QueryClose() {
  return true;
}

void KZMDIChild::closeEvent(QCloseEvent* event) {
  if (!QueryClose()) {
    event->ignore();
    return;
  }
  QMdiSubWindow::closeEvent(event);
  if (event->isAccepted() && closed_) closed_(*this);
}
