#include "app/t_user_interface_lock.h"

#include <algorithm>

#include "config/k_r_string.h"

void TUserInterfaceLock::SetUp(KRString* unlock) {
  unlock_ = unlock;
  typed_.Clear();
  state_ = unlock_ != nullptr && !unlock_->Value().IsEmpty() ? kUnlocked : kNone;
}

void TUserInterfaceLock::Forget() {
  unlock_ = nullptr;
  typed_.Clear();
}

const KString& TUserInterfaceLock::Word() const {
  static const KString kEmpty;
  return unlock_ != nullptr ? unlock_->Value() : kEmpty;
}

void TUserInterfaceLock::SetState(int state) {
  if (state_ == kNone || (state != kUnlocked && state != kLocked)) return;
  if (state == kLocked && Word().IsEmpty()) return;
  state_ = state;
  typed_.Clear();
}

bool TUserInterfaceLock::Type(char16_t ch) {
  if (state_ != kLocked) return false;
  const KString& word = Word();
  const int window = std::max(word.Length(), 1);
  if (typed_.Length() >= window) typed_.Delete(0, typed_.Length() - window + 1);
  typed_.Append(ch);
  if (typed_ != word) return false;
  state_ = kUnlocked;
  typed_.Clear();
  return true;
}
