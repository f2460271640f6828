#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/k_stream.h"
#include "base/k_stream_menu.h"
#include "config/k_registry.h"

// A port opened from a specification the way the program opens one: the
// default settings, the serial enumeration and the network, then the
// read-write port menu. `devices` entries "N=PATH" name the device of COM N.
class CliPort {
 public:
  CliPort(const std::string& spec, const std::vector<std::string>& devices);
  ~CliPort();
  CliPort(const CliPort&) = delete;
  CliPort& operator=(const CliPort&) = delete;

  // False when the text names no port kind this program has.
  bool Valid() const { return valid_; }
  // Polls the port: a TCP port connects or accepts here.
  bool IsOpen() const { return stream_ && stream_->IsOpen(); }
  KStream& Stream() { return *stream_; }

 private:
  KRegistry settings_;
  KStreamMenu menu_;
  std::unique_ptr<KStream> stream_;
  bool valid_ = false;
};

// Set by SIGINT and SIGTERM while a command runs, so a capture ends cleanly.
bool CliStopRequested();
void CliWatchStopSignals();
