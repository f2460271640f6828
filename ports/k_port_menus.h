#pragma once

#include "base/k_stream_menu.h"
#include "ports/k_port_settings.h"

// The two port menus: sources read through a read-only serial prototype, a
// TCP and a UDP prototype; the debug port through a read-write serial
// prototype with an output buffer, a TCP and a UDP prototype. Every
// prototype moves one byte per character with no line-end translation and
// time-outs of 0, and its copies inherit that.
namespace KPortMenus {

void BuildSourceMenu(KStreamMenu& menu, const KPortSettings& settings);
void BuildDebugMenu(KStreamMenu& menu, const KPortSettings& settings);
// Raw 8-bit transfer and no waiting, as every port begins.
void MakeRaw(KStream& stream);

}  // namespace KPortMenus
