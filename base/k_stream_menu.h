#pragma once

#include <memory>

#include "base/k_list.h"
#include "base/k_stream.h"

// The registry of stream prototypes from which ports are made by kind.
class KStreamMenu : public KList {
 public:
  class Stream : public KListItem {
   public:
    explicit Stream(std::unique_ptr<KStream> prototype) : prototype_(std::move(prototype)) {}
    KString ClassName() const override { return KString::MakeView(u"KStreamMenu::Stream"); }
    const KStream& Prototype() const { return *prototype_; }

   private:
    std::unique_ptr<KStream> prototype_;
  };

  void Register(std::unique_ptr<KStream> prototype);
  // The kind is the whole number before the first comma of `spec` (0 when
  // there is none). `current` is kept when it serves that kind; otherwise
  // the first prototype that does is cloned, or a plain stream returned.
  std::unique_ptr<KStream> Make(const KString& spec, std::unique_ptr<KStream> current) const;

  static int KindOf(const KString& spec);
};
