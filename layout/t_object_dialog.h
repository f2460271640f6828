#pragma once

// A properties dialog made for an object; the GUI gives it its pages.
class TObjectDialog {
 public:
  virtual ~TObjectDialog() = default;
};
