#pragma once

#include <memory>

#include "base/k_string.h"
#include "gui/k_z_mdi_child.h"

class QLabel;
class TLayout;
class TZApplication;
class TZControl;

// The document window of one open layout inside the main window. It owns
// the layout, saves it, asks before a changed layout is closed, and shows
// its layout on the display when it becomes the current window.
class TZLayoutMDI : public KZMDIChild {
 public:
  enum Command : int {
    kSave = 10004,
    kSaveAs = 10005,
    kCloseQuery = 10021,
    kExitQuery = 10022,
    kMenuUpdate = 10023,
    kTick = 10024,
  };

  // Takes the layout; the window's title is its file name without extension.
  TZLayoutMDI(TZApplication& application, TZControl& control, std::unique_ptr<TLayout> layout);
  // Deletes the layout, which takes it off the display first.
  ~TZLayoutMDI() override;

  TLayout& Layout() const { return *layout_; }
  // The file name without extension.
  const KString& Title() const { return title_; }

  int Command(int command) override;
  bool QueryClose() override;
  void OnActivated() override;

  // Saves in the plain mode (a name is asked only for an untitled layout) or
  // always asking; true when the layout was saved.
  bool Save(bool askForName);
  // Reads the title from the layout's file again.
  void UpdateTitle();

 private:
  // The close or exit question; true when the window may go.
  bool Prompt(bool exiting);
  void UpdateView();

  TZApplication& application_;
  TZControl& control_;
  std::unique_ptr<TLayout> layout_;
  KString title_;
  // Stands in for the editing canvas until the editor exists.
  QLabel* view_ = nullptr;
};
