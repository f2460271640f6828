#pragma once

class TLayoutObject;
class TObjectEditorWindow;

// A layout editor as the objects see it: it makes their boxes.
class TObjectEditor {
 public:
  virtual ~TObjectEditor() = default;
  // A new box for `object`, replacing `previous` (null when it had none),
  // which the editor disposes of.
  virtual TObjectEditorWindow* NewObjectWindow(TLayoutObject& object,
                                               TObjectEditorWindow* previous) = 0;
};
