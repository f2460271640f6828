#include "sources/t_source.h"

#include <chrono>

#include "base/k_buffered_file.h"
#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "ports/k_debug_port.h"
#include "ports/k_log.h"
#include "ports/k_port_config.h"
#include "sources/t_script_reader.h"
#include "sources/t_sources.h"

TSource::TSource(TSources& owner, int index) : owner_(owner), index_(index) {}

TSource::~TSource() {
  Unwatch();
  if (port_) {
    try {
      port_->Close();
    } catch (const KX&) {
      // Closing at shutdown has nobody to tell.
    }
  }
}

void TSource::Unwatch() {
  if (scriptSetting_) scriptSetting_->SetHandler(nullptr);
  if (serialPort_) serialPort_->SetHandler(nullptr);
  if (charMode_) charMode_->SetHandler(nullptr);
  scriptSetting_ = nullptr;
  serialPort_ = nullptr;
  charMode_ = nullptr;
}

bool TSource::Configure(KRGroup& subgroup) {
  name_ = subgroup.LookupString(u"Name");

  scriptSetting_ = subgroup.LookupString(u"Script");
  if (!scriptSetting_) return false;
  scriptSetting_->SetHandler([this](KRString& node, const KString& value, intptr_t) {
    node.Assign(value);
    if (value != script_) {
      script_ = value;
      LoadScript();
    }
    return true;
  });
  script_ = scriptSetting_->Value();
  if (!LoadScript()) return false;

  serialPort_ = subgroup.LookupString(u"SerialPort");
  if (!serialPort_) return false;
  serialPort_->SetHandler([this](KRString& node, const KString& value, intptr_t) {
    return SerialPortChanged(node, value);
  });
  SetPort(serialPort_->Value());

  charMode_ = subgroup.LookupInt(u"CharMode");
  if (!charMode_) return false;
  charMode_->SetHandler([this](KRInt& node, int32_t value, intptr_t) {
    node.Assign(value);
    ApplyCharMode();
  });
  ApplyCharMode();
  return true;
}

bool TSource::LoadScript() {
  KString path(owner_.Home());
  if (!path.IsEmpty() && path.At(path.Length() - 1) != u'/') path.Append(u'/');
  path.Append(script_);
  KBufferedFile file(path, 4096);
  try {
    file.Open(KFile::kRead, KFile::kOpenExisting);
  } catch (const KX&) {
    // A script that is gone leaves no definitions of the old one behind.
    definitions_.Clear();
    return false;
  }
  try {
    return TScriptReader(owner_.Processor(), owner_.PacketBufferSize())
        .Load(definitions_, this, file);
  } catch (const KX&) {
    // A read error keeps the definitions read before it.
    return true;
  }
}

void TSource::ApplyCharMode() {
  if (!port_) return;
  static const int kEncodings[] = {KStream::kEncoding8Bit, KStream::kEncoding16Bit,
                                   KStream::kEncodingMultiByte};
  const int mode = charMode_ ? charMode_->Value() : 0;
  const int encoding = mode >= 0 && mode <= 2 ? kEncodings[mode] : KStream::kEncoding8Bit;
  port_->SetReadEncoding(encoding);
  port_->SetWriteEncoding(encoding);
}

void TSource::SetPort(const KString& spec) {
  spec_ = spec;
  port_ = owner_.PortMenu().Make(spec, std::move(port_));
  try {
    port_->SetSpec(spec);
  } catch (const KX&) {
    // Not connected until the setting changes (a TCP port retries by itself).
  }
  ApplyCharMode();
}

bool TSource::SerialPortChanged(KRString& node, const KString& value) {
  node.Assign(value);
  const int port = KPortConfig::PortNumber(value);
  if (port > 0) {
    // Held at "0" so the scan never takes the port from this source itself.
    node.Assign(KString(u"0"));
    owner_.TakePort(port, &node);
    node.Assign(value);
  }
  SetPort(value);
  return true;
}

KString TSource::SourceName() const {
  return name_ ? name_->Value() : KString();
}

TDebugEvents* TSource::DebugEvents() {
  if (!owner_.DebugActive()) return nullptr;
  const int filter = owner_.DebugPort()->Filter();
  return filter == KDebugPort::kAllSources || filter == index_ ? this : nullptr;
}

void TSource::WriteEvent(const KString& text) {
  if (KDebugPort* debug = owner_.DebugPort()) debug->Event(index_, text);
}

void TSource::PacketComplete(TFields& definition) {
  owner_.Deliver(*this, definition);
}

void TSource::Poll(bool debugActive) {
  if (!port_ || !port_->IsOpen()) return;
  KDebugPort* debug = debugActive ? owner_.DebugPort() : nullptr;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  int budget = kPassChars;
  constexpr int kBlock = 1024;
  char16_t block[kBlock];
  while (budget > 0) {
    const char16_t* chars = block;
    int count = 0;
    bool fromHeld = false;
    if (heldAt_ < held_.size()) {
      chars = held_.data() + heldAt_;
      count = static_cast<int>(held_.size() - heldAt_);
      fromHeld = true;
    } else {
      try {
        count = port_->ReadAvailableChars(block, budget < kBlock ? budget : kBlock);
      } catch (const KX& error) {
        KString line(u"Source ");
        line.Append(SourceName());
        line.Append(u": read error ");
        line.AppendInt(error.Code());
        KLog::Log(line, KLog::kError);
        return;
      }
    }
    if (count == 0) return;
    budget -= count;
    if (fromHeld) {
      // Taken in full unless a command stops the pass again below.
      heldAt_ = held_.size();
    }
    const std::u16string_view text(chars, static_cast<size_t>(count));
    for (size_t at = 0; at < text.size();) {
      bool completed = false;
      if (debug) {
        // The echo and the events of one character go out together.
        debug->Echo(index_, text[at]);
        at += definitions_.Feed(text.substr(at, 1), collector_, completed);
      } else {
        at += definitions_.Feed(text.substr(at), collector_, completed);
      }
      if (!completed) continue;
      // The rest waits: a source that executed a command yields until the
      // next pass.
      if (fromHeld) {
        heldAt_ = static_cast<size_t>(chars + at - held_.data());
      } else {
        held_.assign(chars + at, chars + count);
        heldAt_ = 0;
      }
      // A bare LF with nothing to repeat executes nothing.
      if (!collector_.PreviousCommand().IsEmpty()) {
        owner_.Execute(*this, collector_.PreviousCommand());
      }
      return;
    }
    if (Clock::now() - start >= std::chrono::milliseconds(kPassMs)) return;
  }
}

void TSource::CollectWaits(KWaitSet& set) const {
  if (heldAt_ < held_.size()) set.DueNow();
  if (port_) port_->CollectWaits(set);
}
