#include "sources/t_script_settings.h"

#include <algorithm>

#include "base/k_string.h"
#include "config/k_r_group.h"
#include "ports/k_log.h"

TScriptSettings TScriptSettings::FromRegistry(KRGroup& root) {
  TScriptSettings settings;
  const int32_t asked = root.LookupInt(u"\\Sources\\Fields\\BufferSize", kDefaultPacketBufferSize);
  settings.packetBufferSize = std::clamp(asked, 0, kMaxPacketBufferSize);
  if (settings.packetBufferSize != asked) {
    KString line(u"\\Sources\\Fields\\BufferSize ");
    line.AppendInt(asked);
    line.Append(u" is held to ");
    line.AppendInt(settings.packetBufferSize);
    KLog::Log(line, KLog::kMessage);
  }
  return settings;
}
