#pragma once

#include <QMainWindow>

class QMdiArea;

// The multiple-document frame: a main window whose centre holds the child
// windows. Closing it asks QueryClose first.
class KZControl : public QMainWindow {
 public:
  explicit KZControl(QWidget* parent = nullptr);
  ~KZControl() override;

  QMdiArea* MdiArea() const { return mdiArea_; }

  // Returns the command's result; 0 for commands the frame does not know.
  virtual int Command(int command);
  // Whether a close request from the window manager may close the window.
  virtual bool QueryClose();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QMdiArea* mdiArea_;
};
