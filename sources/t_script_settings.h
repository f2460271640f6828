#pragma once

class KRGroup;

// The settings the script reader and the packet cutter read once.
struct TScriptSettings {
  static constexpr int kDefaultPacketBufferSize = 32767;
  // Far above any packet a timing system sends; keeps a mistyped setting
  // from asking for gigabytes per definition.
  static constexpr int kMaxPacketBufferSize = 1 << 24;

  // \Sources\Fields\BufferSize, in characters.
  int packetBufferSize = kDefaultPacketBufferSize;

  static TScriptSettings FromRegistry(KRGroup& root);
};
