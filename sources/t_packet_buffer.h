#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/k_string.h"

// The characters of one packet in collection: a capacity fixed once at run
// time that never grows, so a runaway body cannot eat memory. Every
// received character passes through here, hence the inline operations and
// the cheap removal at the front that the header hunt needs.
class TPacketBuffer {
 public:
  explicit TPacketBuffer(int capacity)
      : capacity_(capacity > 0 ? capacity : 0),
        data_(new char16_t[static_cast<size_t>(capacity_ > 0 ? capacity_ : 1)]) {}
  TPacketBuffer(const TPacketBuffer&) = delete;
  TPacketBuffer& operator=(const TPacketBuffer&) = delete;

  int Length() const { return end_ - start_; }
  int Capacity() const { return capacity_; }
  bool IsEmpty() const { return end_ == start_; }
  bool IsFull() const { return Length() >= capacity_; }
  std::u16string_view View() const {
    return {data_.get() + start_, static_cast<size_t>(end_ - start_)};
  }

  void Clear() { start_ = end_ = 0; }
  // Does nothing when full.
  void Append(char16_t ch) {
    if (end_ == capacity_) {
      if (start_ == 0) return;
      MoveToFront();
    }
    data_[static_cast<size_t>(end_++)] = ch;
  }
  // Appends what fits of `count` characters.
  void Append(const char16_t* chars, int count) {
    if (count <= 0) return;
    if (end_ + count > capacity_ && start_ > 0) MoveToFront();
    count = std::min(count, capacity_ - end_);
    KString::CopyChars(data_.get() + end_, chars, static_cast<size_t>(count));
    end_ += count;
  }
  // Removes `count` characters at the front (all when more).
  void TrimLeft(int count) {
    if (count <= 0) return;
    if (count >= Length()) {
      Clear();
    } else {
      start_ += count;
    }
  }
  // Keeps the first `length` characters.
  void Truncate(int length) {
    if (length >= 0 && length < Length()) end_ = start_ + length;
  }

 private:
  // Room at the end from what the header hunt trimmed at the front.
  void MoveToFront() {
    std::memmove(data_.get(), data_.get() + start_,
                 sizeof(char16_t) * static_cast<size_t>(end_ - start_));
    end_ -= start_;
    start_ = 0;
  }

  int capacity_;
  std::unique_ptr<char16_t[]> data_;
  int start_ = 0;
  int end_ = 0;
};
