#pragma once

class KRGroup;

// The settings every port kind is made with.
struct KPortSettings {
  static constexpr int kMinBufferSize = 2048;

  // \Sources\BufferSize: serial and UDP buffers; smaller values are raised.
  int bufferSize = kMinBufferSize;
  // \Sources\KeepAlive: TCP keep-alive unless 0.
  bool keepAlive = true;

  int EffectiveBufferSize() const {
    return bufferSize < kMinBufferSize ? kMinBufferSize : bufferSize;
  }
  static KPortSettings FromSettings(KRGroup& root);
};
