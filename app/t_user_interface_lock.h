#pragma once

#include "base/k_string.h"

class KRString;

// The user-interface lock of File|Lock: while locked every key the operator
// types is swallowed and remembered, and typing the unlock word (exactly,
// letter case included) unlocks again. The word is read from its settings
// node at the moment it is needed; whether a lock exists at all is decided
// once, at start-up.
class TUserInterfaceLock {
 public:
  enum State : int { kNone = 0, kUnlocked = 1, kLocked = 2 };
  // Remembers the node; an empty word means no lock for the whole run.
  void SetUp(KRString* unlock);
  void Forget();

  int GetState() const { return state_; }
  // Locking needs a lock and a word to open it: with none configured (or
  // the word emptied since start-up) the state stays as it is.
  void SetState(int state);
  bool IsLocked() const { return state_ == kLocked; }

  // One character typed while locked; true when it completed the unlock word
  // (the lock is then open and the typed keys forgotten).
  bool Type(char16_t ch);
  const KString& Typed() const { return typed_; }

 private:
  const KString& Word() const;

  KRString* unlock_ = nullptr;
  int state_ = kNone;
  // As long as the word, however long: a fixed 31-character buffer could
  // never hold a longer word and would lock the operator out for good.
  KString typed_;
};
