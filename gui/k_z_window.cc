#include "gui/k_z_window.h"

KZWindow::KZWindow(QWidget* parent) : QWidget(parent, Qt::Window) {}

KZWindow::~KZWindow() = default;

int KZWindow::Command(int) {
  return 0;
}
