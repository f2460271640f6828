#pragma once

#include <string_view>
#include <vector>

#include "base/k_stream.h"
#include "base/k_string.h"

class TFields;
class TFieldsOwner;
class TFieldStringProcessor;
class TPacketDefinitions;

// Reads a source script (*.rss): ";;Name" opens a packet definition, ";"
// lines are comments, and attribute lines ("header=\02,length=1") describe
// the current definition.
class TScriptReader {
 public:
  static constexpr int kTokenCapacity = 255;
  // Bounds that no real script comes near, so a damaged or hostile file
  // cannot make the reader hold unbounded text or objects: a longer line is
  // cut, and definitions or fields past the limit are ignored.
  static constexpr int kMaxLineLength = 65536;
  static constexpr int kMaxDefinitions = 1024;
  static constexpr int kMaxFields = 1024;

  // `packetBufferSize` is the packet buffer capacity of every definition made.
  TScriptReader(TFieldStringProcessor& processor, int packetBufferSize);

  // Replaces the definitions with those of the script on `stream`; lines
  // read before a failure stay. False when the stream is not open.
  bool Load(TPacketDefinitions& definitions, TFieldsOwner* source, KStream& stream);
  // The same over text already in memory.
  void LoadText(TPacketDefinitions& definitions, TFieldsOwner* source, std::u16string_view text);

  // Applies one attribute line to a definition.
  void ReadAttributeLine(TFields& fields, std::u16string_view line);

  // Splits an attribute line at commas, honouring quoted tokens; each token
  // holds at most 255 characters.
  static std::vector<KString255> SplitTokens(std::u16string_view line);

 private:
  void ReadLine(TPacketDefinitions& definitions, TFieldsOwner* source, TFields*& current,
                const KString& line);

  TFieldStringProcessor& processor_;
  int packetBufferSize_;
};
