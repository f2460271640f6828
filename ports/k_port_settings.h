#pragma once

class KRGroup;

// The settings every port kind is made with.
struct KPortSettings {
  static constexpr int kMinBufferSize = 2048;
  // A size from a setting is held to this, with a line in the log.
  static constexpr int kMaxBufferSize = 1 << 24;

  // \Sources\BufferSize: serial and UDP buffers; smaller values are raised.
  int bufferSize = kMinBufferSize;
  // \Sources\KeepAlive: TCP keep-alive unless 0.
  bool keepAlive = true;

  int EffectiveBufferSize() const {
    return bufferSize < kMinBufferSize   ? kMinBufferSize
           : bufferSize > kMaxBufferSize ? kMaxBufferSize
                                         : bufferSize;
  }
  static KPortSettings FromSettings(KRGroup& root);
};
