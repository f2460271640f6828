#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "xvfb_desktop.h"

// Starts the desktop before Qt, which connects to its display once.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  XvfbDesktop& desktop = XvfbDesktop::Get();
  desktop.Start();
  std::unique_ptr<QApplication> app;
  if (desktop.Status() == XvfbDesktop::State::kReady) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    app = std::make_unique<QApplication>(argc, argv);
  }
  const int result = RUN_ALL_TESTS();
  app.reset();
  desktop.Stop();
  return result;
}
