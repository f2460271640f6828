#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/k_list.h"
#include "base/k_rect.h"
#include "base/k_string.h"

class KRGroup;
class TLayout;
class TLayoutObject;
class TSources;

// What every layout of the run shares: the prototype objects, the last-used
// layout file, the untitled counter, the texts read at start-up, the sources
// that feed the layouts, and the hooks through which the display and the GUI
// (which sit elsewhere) serve the layouts. Nothing here is needed to build a
// layout in memory; a hook left empty means "not there".
class TLayoutServices {
 public:
  // Kinds of the prototype list, in the order start-up makes them.
  enum Kind : int { kText = 0, kBitmap = 1, kVideoDisplay = 2, kKindCount = 3 };
  static constexpr int kDefaultMinAnimDelayMs = 30;

  // Asked for the path to save a layout under; `path` holds the suggestion
  // and receives the choice. False = cancelled.
  using SaveDialog = std::function<bool(KString& path)>;
  using WaitCursor = std::function<void(bool on)>;
  // The display window's size; false when there is none.
  using DisplaySize = std::function<bool(KPoint& size)>;
  // An object asks the display to redraw `area`, all of it or the part that
  // changed (the display ignores layouts it does not show).
  using RedrawObserver =
      std::function<void(TLayout& layout, TLayoutObject& object, const KRect& area)>;
  // A layout is about to be destroyed (the display stops showing it).
  using LayoutClosing = std::function<void(TLayout& layout)>;
  // Milliseconds, wrapping at 32 bits like the system tick count.
  using Clock = std::function<uint32_t()>;

  static TLayoutServices& Get();

  TLayoutServices(const TLayoutServices&) = delete;
  TLayoutServices& operator=(const TLayoutServices&) = delete;

  // \Strings\Layout\DefaultName, \Layout\AutoResize, \Display\MinAnimDelay
  // and the info texts of \Strings\Layout\Object\Info\; `programPath` is
  // where the first layout dialog starts, and its folder is where pictures
  // named without a folder are found. `root` stays in use for the live
  // settings of the picture readers.
  void ReadSettings(KRGroup& root, const KString& programPath);
  // Back to the state of a fresh run (tests).
  void Reset();

  // Made on first use: a text, a bitmap and a video display object.
  TLayoutObject* Prototype(int kind);
  // The prototype whose ClassName() is exactly `name`, or null.
  TLayoutObject* FindPrototype(const KString& name);

  const KString& LastUsedPath() const { return lastUsedPath_; }
  void SetLastUsedPath(const KString& path) { lastUsedPath_ = path; }
  int NextUntitledNumber() { return ++untitledCounter_; }
  const KString& DefaultName() const { return defaultName_; }
  int AutoResizeMode() const { return autoResize_; }
  void SetAutoResizeMode(int mode) { autoResize_ = mode; }
  // The folder of the program file (the home): pictures of bitmap objects
  // and video displays named without a folder of their own live here.
  const KString& ProgramDirectory() const { return programDirectory_; }
  void SetProgramDirectory(const KString& directory) { programDirectory_ = directory; }
  // The settings the GIF reader asks (\Display\GIFUseBg); null before start-up.
  KRGroup* Settings() const { return settings_; }
  // The shortest time a frame of an animation stays on the display.
  int MinAnimDelayMs() const { return minAnimDelayMs_; }
  void SetMinAnimDelayMs(int delayMs) { minAnimDelayMs_ = delayMs; }
  // Set while start-up restores the layouts of the last run.
  bool Restoring() const { return restoring_; }
  void SetRestoring(bool on) { restoring_ = on; }

  struct InfoTexts {
    KString staticText = KString(u"STA");
    KString dynamicText = KString(u"DYN");
    KString trigger = KString(u"TRG");
    KString override_ = KString(u"OVR");
    KString text = KString(u"TXT");
    KString bitmap = KString(u"BMP");
    KString videoDisplay = KString(u"VID");
  };
  const InfoTexts& Info() const { return info_; }

  // Every live layout receives the packets of these sources; null detaches.
  void ConnectSources(TSources* sources);
  TSources* Sources() const { return sources_; }
  void Register(TLayout* layout);
  void Unregister(TLayout* layout);

  void SetSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
  const SaveDialog& GetSaveDialog() const { return saveDialog_; }
  void SetWaitCursor(WaitCursor cursor) { waitCursor_ = std::move(cursor); }
  void ShowWaitCursor(bool on) const {
    if (waitCursor_) waitCursor_(on);
  }
  void SetDisplaySize(DisplaySize size) { displaySize_ = std::move(size); }
  bool GetDisplaySize(KPoint& size) const { return displaySize_ && displaySize_(size); }
  void SetRedrawObserver(RedrawObserver observer) { redraw_ = std::move(observer); }
  void Redraw(TLayout& layout, TLayoutObject& object, const KRect& area) const {
    if (redraw_) redraw_(layout, object, area);
  }
  void SetLayoutClosing(LayoutClosing observer) { closing_ = std::move(observer); }
  void Closing(TLayout& layout) const {
    if (closing_) closing_(layout);
  }
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  uint32_t Now() const;

 private:
  TLayoutServices();
  ~TLayoutServices();

  KList prototypes_;
  KString lastUsedPath_;
  KString programDirectory_;
  KRGroup* settings_ = nullptr;
  int minAnimDelayMs_ = kDefaultMinAnimDelayMs;
  int untitledCounter_ = 0;
  KString defaultName_ = KString(u"Untitled");
  int autoResize_ = 0;
  bool restoring_ = false;
  InfoTexts info_;
  TSources* sources_ = nullptr;
  std::vector<TLayout*> layouts_;
  SaveDialog saveDialog_;
  WaitCursor waitCursor_;
  DisplaySize displaySize_;
  RedrawObserver redraw_;
  LayoutClosing closing_;
  Clock clock_;
};
