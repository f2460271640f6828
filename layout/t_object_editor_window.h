#pragma once

// The box that shows one object in a layout editor; the editor owns it.
class TObjectEditorWindow {
 public:
  virtual ~TObjectEditorWindow() = default;
  // Shows the object's current rectangle and label again.
  virtual void Refresh() = 0;
};
