#pragma once

class KStream;

// Everything that can be written to a stream and read back. Stored records
// open with a version tag major * 65536 + minor.
class KPersistent {
 public:
  KPersistent() = default;
  KPersistent(const KPersistent&) = default;
  KPersistent& operator=(const KPersistent&) = default;
  virtual ~KPersistent() = default;
  virtual void Load(KStream& /*stream*/) {}
  virtual void Store(KStream& /*stream*/) const {}
};

constexpr int KVersionTag(int major, int minor) {
  return major * 65536 + minor;
}
