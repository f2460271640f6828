#pragma once

#include <memory>

#include "layout/t_object_dialog.h"

class TLayoutObject;
class TTextObject;
class TBitmapObject;
class TVideoDisplayObject;

// Makes the properties dialog of each kind of object; the GUI implements it.
// Each object picks the call for its own kind.
class TObjectDialogFactory {
 public:
  virtual ~TObjectDialogFactory() = default;
  virtual std::unique_ptr<TObjectDialog> Basic(TLayoutObject& object) = 0;
  virtual std::unique_ptr<TObjectDialog> Text(TTextObject& object) = 0;
  virtual std::unique_ptr<TObjectDialog> Bitmap(TBitmapObject& object) = 0;
  virtual std::unique_ptr<TObjectDialog> VideoDisplay(TVideoDisplayObject& object) = 0;
};
