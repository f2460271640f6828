#include "ports/k_port_settings.h"

#include "config/k_r_group.h"
#include "ports/k_log.h"

KPortSettings KPortSettings::FromSettings(KRGroup& root) {
  KPortSettings settings;
  settings.bufferSize = root.LookupInt(u"\\Sources\\BufferSize", kMinBufferSize);
  if (settings.bufferSize > kMaxBufferSize) {
    KString line(u"\\Sources\\BufferSize ");
    line.AppendInt(settings.bufferSize);
    line.Append(u" is held to ");
    line.AppendInt(kMaxBufferSize);
    KLog::Log(line, KLog::kMessage);
    settings.bufferSize = kMaxBufferSize;
  }
  settings.keepAlive = root.LookupInt(u"\\Sources\\KeepAlive", 1) != 0;
  return settings;
}
