#include "gui/k_z_control.h"

#include <QCloseEvent>
#include <QMdiArea>

KZControl::KZControl(QWidget* parent) : QMainWindow(parent), mdiArea_(new QMdiArea(this)) {
  setCentralWidget(mdiArea_);
}

KZControl::~KZControl() = default;

int KZControl::Command(int) {
  return 0;
}

bool KZControl::QueryClose() {
  return true;
}

void KZControl::closeEvent(QCloseEvent* event) {
  if (QueryClose())
    event->accept();
  else
    event->ignore();
}
