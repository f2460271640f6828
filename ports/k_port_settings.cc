#include "ports/k_port_settings.h"

#include "config/k_r_group.h"

KPortSettings KPortSettings::FromSettings(KRGroup& root) {
  KPortSettings settings;
  settings.bufferSize = root.LookupInt(u"\\Sources\\BufferSize", kMinBufferSize);
  settings.keepAlive = root.LookupInt(u"\\Sources\\KeepAlive", 1) != 0;
  return settings;
}
