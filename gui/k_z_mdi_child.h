#pragma once

#include <QMdiSubWindow>
#include <functional>

// A document window inside the multiple-document frame. It takes the
// numbered commands the program's windows send each other; a close from
// the window's own controls asks QueryClose first and, when agreed, tells
// the owner, who deletes the window.
class KZMDIChild : public QMdiSubWindow {
 public:
  using ClosedHandler = std::function<void(KZMDIChild& child)>;

  explicit KZMDIChild(QWidget* parent = nullptr);
  ~KZMDIChild() override;

  // Returns the command's result; 0 for commands the window does not know.
  virtual int Command(int command);
  // Whether the window may close now.
  virtual bool QueryClose();
  // The frame made this window the current one.
  virtual void OnActivated() {}

  void SetClosedHandler(ClosedHandler handler) { closed_ = std::move(handler); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  ClosedHandler closed_;
};
