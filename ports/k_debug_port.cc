#include "ports/k_debug_port.h"

#include <cstdio>
#include <string>

#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "ports/k_log.h"
#include "ports/k_port_menus.h"
#include "ports/k_tcp_socket.h"

namespace {

// Keys typed on the debug connection are read at most this many per pass,
// so a flood there cannot hold up the sources.
constexpr int kMaxKeysPerPass = 4096;
// Dropped echo is reported at most this often.
constexpr int64_t kDropLogIntervalMs = 10000;

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
  pending_.clear();
}

void KDebugPort::CollectWaits(KWaitSet& set) const {
  if (stream_) stream_->CollectWaits(set);
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

void KDebugPort::Send(const char* bytes, size_t count) {
  if (pending_.size() + count > kMaxPassBytes) {
    dropped_ += static_cast<int64_t>(count);
    return;
  }
  pending_.append(bytes, count);
}

void KDebugPort::Flush() {
  if (!pending_.empty()) {
    const auto size = static_cast<int64_t>(pending_.size());
    try {
      stream_->Write(pending_.data(), static_cast<int>(pending_.size()));
    } catch (const KXStream& error) {
      dropped_ += size - (error.Count() > 0 ? error.Count() : 0);
    } catch (const KX&) {
      dropped_ += size;
    }
    pending_.clear();
  }
  if (dropped_ > droppedLogged_) {
    const int64_t now = KWaitSet::NowMs();
    if (lastDropLogMs_ == 0 || now - lastDropLogMs_ >= kDropLogIntervalMs) {
      lastDropLogMs_ = now;
      KString line(u"Debug port: the reader is too slow, echo bytes dropped: ");
      line.Append(KString(std::to_string(dropped_ - droppedLogged_).c_str()));
      KLog::Log(line, KLog::kMessage);
      droppedLogged_ = dropped_;
    }
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
  char piece[16];
  int length = 1;
  if (ch >= 32 && ch <= 126) {
    piece[0] = static_cast<char>(ch);
  } else {
    length = std::snprintf(piece, sizeof piece, "[%02X]", static_cast<unsigned>(ch) & 0xFFFFu);
  }
  if (length > room_) StartLine();
  Send(piece, static_cast<size_t>(length));
  room_ -= length;
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
  char16_t keys[256];
  for (int taken = 0; taken < kMaxKeysPerPass;) {
    int count = 0;
    try {
      count = stream_->ReadAvailableChars(keys, 256);
    } catch (const KX&) {
      // A failed connection shows at the next pass.
    }
    if (count == 0) break;
    taken += count;
    for (int i = 0; i < count; ++i) {
      const char16_t ch = keys[i];
      if (ch >= u'0' && ch <= u'9') filter_ = ch == u'0' ? kAllSources : ch - u'1';
      const char back = static_cast<char>(ch);
      Send(&back, 1);
    }
  }
  Flush();
  try {
    stream_->FlushOutput();
  } catch (const KX&) {
  }
}
