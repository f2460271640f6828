#pragma once

#include <QWidget>

// A top-level window of the program that takes the numbered commands the
// program's own windows send each other.
class KZWindow : public QWidget {
 public:
  explicit KZWindow(QWidget* parent = nullptr);
  ~KZWindow() override;

  // Returns the command's result; 0 for commands the window does not know.
  virtual int Command(int command);
};
