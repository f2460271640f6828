#pragma once

#include "base/k_list.h"
#include "base/k_string.h"

// One font of the font list: the built-in sport font or an installed family.
class K3DFont : public KListItem {
 public:
  explicit K3DFont(const KString& name) : name_(name) {}

  KString ClassName() const override { return KString::MakeView(u"K3DFont"); }
  const KString& Name() const { return name_; }

  virtual bool IsValidSize(int size) const { return size > 0; }
  virtual int DefaultSize() const { return 50; }
  virtual bool IsBitmapFont() const { return false; }
  virtual int SizeCount() const { return 0; }
  virtual int SizeAt(int /*index*/) const { return 0; }

 private:
  KString31 name_;
};
