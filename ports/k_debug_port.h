#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/k_stream.h"
#include "base/k_stream_menu.h"
#include "base/k_string.h"
#include "ports/k_port_settings.h"

class KRGroup;
class KWaitSet;
class KRString;

// The debug port: a further port on which every character read from the
// sources is echoed, with the packet events, for watching a timing system
// from a terminal. A polling pass calls BeginPass, then Echo and Event for
// what the sources read, then EndPass, which reads the keys typed on the
// debug connection: a digit picks the one source shown ("0" all of them).
//
// Echo lines start with CR LF, the count of characters echoed so far as six
// digits and ":", and hold 64 columns; codes outside 32..126 appear as
// "[%02X]". What a pass echoes collects in a bounded buffer and goes out in
// one write at the end of the pass; what a slow reader cannot take is dropped
// and counted. Write errors are swallowed: the echo never disturbs the sources.
class KDebugPort {
 public:
  static constexpr int kLineRoom = 64;
  static constexpr int kAllSources = -1;
  // The most one pass collects for the debug connection.
  static constexpr size_t kMaxPassBytes = 1 << 20;

  explicit KDebugPort(const KPortSettings& settings);
  ~KDebugPort();
  KDebugPort(const KDebugPort&) = delete;
  KDebugPort& operator=(const KDebugPort&) = delete;

  // Remakes the port through the debug menu (keeping the current one when
  // its kind serves the new text) and opens it. "0" turns it off.
  bool SetSpec(const KString& spec);
  // Takes \Sources\DebugPort from `root` and follows its changes.
  bool Watch(KRGroup& root);
  void Unwatch();

  // Whether the port exists and is open; the echo works only then.
  bool BeginPass();
  bool IsActive() const { return active_; }
  void Echo(int sourceIndex, int ch);
  void Event(int sourceIndex, const KString& text);
  // Resets the counter, filter and line room while inactive; otherwise reads
  // the keys typed, writes them back and flushes.
  void EndPass();

  int Filter() const { return filter_; }
  int Counter() const { return counter_; }
  int Room() const { return room_; }
  // Echo bytes dropped because the reader was too slow (or the buffer full).
  int64_t Dropped() const { return dropped_; }
  // What the loop sleeps on for the debug port: keys typed, a client knocking.
  void CollectWaits(KWaitSet& set) const;
  KStream* Stream() const { return stream_.get(); }
  const KString& Spec() const { return spec_; }

  // The text one character is echoed as.
  static std::string EchoPiece(int ch);

 private:
  bool Shows(int sourceIndex) const { return filter_ == kAllSources || filter_ == sourceIndex; }
  void StartLine();
  void Send(const char* bytes, size_t count);
  void Send(const std::string& bytes) { Send(bytes.data(), bytes.size()); }
  // Writes what the pass collected in one go.
  void Flush();
  void Reset();

  KStreamMenu menu_;
  std::unique_ptr<KStream> stream_;
  KString spec_;
  KRString* setting_ = nullptr;
  bool active_ = false;
  int filter_ = kAllSources;
  int counter_ = 0;
  int room_ = 0;
  uint32_t generation_ = 0;
  std::string pending_;
  int64_t dropped_ = 0;
  int64_t droppedLogged_ = 0;
  int64_t lastDropLogMs_ = 0;
};
