#include "sources/t_script_settings.h"

#include <algorithm>

#include "config/k_r_group.h"

TScriptSettings TScriptSettings::FromRegistry(KRGroup& root) {
  TScriptSettings settings;
  settings.packetBufferSize =
      std::clamp(root.LookupInt(u"\\Sources\\Fields\\BufferSize", kDefaultPacketBufferSize), 0,
                 kMaxPacketBufferSize);
  return settings;
}
