#include "ports/k_debug_port.h"

#include <cstdio>

#include "base/k_x.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "ports/k_port_menus.h"
#include "ports/k_tcp_socket.h"

namespace {

// Keys typed on the debug connection are read at most this many per pass,
// so a flood there cannot hold up the sources.
constexpr int kMaxKeysPerPass = 4096;

}  // namespace

KDebugPort::KDebugPort(const KPortSettings& settings) {
  KPortMenus::BuildDebugMenu(menu_, settings);
}

KDebugPort::~KDebugPort() {
  Unwatch();
  if (stream_) stream_->Close();
}

bool KDebugPort::SetSpec(const KString& spec) {
  spec_ = spec;
  stream_ = menu_.Make(spec, std::move(stream_));
  Reset();
  return stream_->SetSpec(spec);
}

bool KDebugPort::Watch(KRGroup& root) {
  Unwatch();
  setting_ = root.LookupString(u"\\Sources\\DebugPort");
  if (!setting_) return SetSpec(KString(u"0"));
  setting_->SetHandler([this](KRString& node, const KString& value, intptr_t) {
    node.Assign(value);
    SetSpec(value);
    return true;
  });
  return SetSpec(setting_->Value());
}

void KDebugPort::Unwatch() {
  if (setting_) setting_->SetHandler(nullptr);
  setting_ = nullptr;
}

void KDebugPort::Reset() {
  counter_ = 0;
  filter_ = kAllSources;
  room_ = 0;
}

bool KDebugPort::BeginPass() {
  active_ = stream_ && stream_->IsOpen();
  if (active_) {
    // A new client on a listening port starts from 000000, even when it
    // replaced the last one between two passes.
    if (auto* tcp = dynamic_cast<KTCPSocket*>(stream_.get())) {
      if (tcp->Generation() != generation_) {
        generation_ = tcp->Generation();
        Reset();
      }
    }
  }
  return active_;
}

std::string KDebugPort::EchoPiece(int ch) {
  if (ch >= 32 && ch <= 126) return std::string(1, static_cast<char>(ch));
  char piece[16];
  std::snprintf(piece, sizeof piece, "[%02X]", static_cast<unsigned>(ch) & 0xFFFFu);
  return piece;
}

void KDebugPort::Send(const std::string& bytes) {
  try {
    stream_->Write(bytes.data(), static_cast<int>(bytes.size()));
  } catch (const KX&) {
  }
}

void KDebugPort::StartLine() {
  char head[24];
  std::snprintf(head, sizeof head, "\r\n%06d:", counter_);
  Send(head);
  room_ = kLineRoom;
}

void KDebugPort::Echo(int sourceIndex, int ch) {
  if (!active_ || !Shows(sourceIndex)) return;
  const std::string piece = EchoPiece(ch);
  if (static_cast<int>(piece.size()) > room_) StartLine();
  Send(piece);
  room_ -= static_cast<int>(piece.size());
  ++counter_;
}

void KDebugPort::Event(int sourceIndex, const KString& text) {
  if (!active_ || !Shows(sourceIndex)) return;
  StartLine();
  if (text.Length() > kLineRoom) StartLine();
  // One byte per character, as the port writes text.
  Send(text.ToLatin1());
  StartLine();
}

void KDebugPort::EndPass() {
  if (!active_) {
    Reset();
    return;
  }
  try {
    for (int keys = 0; keys < kMaxKeysPerPass; ++keys) {
      const char16_t ch = stream_->ReadChar();
      if (ch >= u'0' && ch <= u'9') filter_ = ch == u'0' ? kAllSources : ch - u'1';
      const char back = static_cast<char>(ch);
      Send(std::string(1, back));
    }
  } catch (const KX&) {
    // Nothing more typed.
  }
  try {
    stream_->FlushOutput();
  } catch (const KX&) {
  }
}
