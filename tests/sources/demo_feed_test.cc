// The demo home: its profile loads with the settings code, and its script
// cuts the demo race capture into the packets and commands it was made with.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "config/k_default_settings.h"
#include "config/k_profile.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "ports/k_capture_file.h"
#include "ports/k_socket.h"
#include "ports/k_tcp_socket.h"
#include "sources/t_field.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_sources.h"
#include "tests/ports/loopback.h"

namespace {

using namespace std::chrono_literals;

const std::string kDemo =
    (std::filesystem::path(TELVANE_TEST_DATA).parent_path().parent_path() / "assets" / "demo")
        .string();

std::string CaptureBytes() {
  KBufferedFile file(KString((kDemo + "/demo-race.tvcap").c_str()), 4096);
  file.Open(KFile::kRead, KFile::kOpenExisting);
  KCapture::Reader reader(file);
  KCapture::Chunk chunk;
  std::string bytes;
  int64_t last = -1;
  while (reader.Next(chunk)) {
    EXPECT_GE(chunk.atUs, last);
    last = chunk.atUs;
    bytes.append(chunk.bytes.begin(), chunk.bytes.end());
  }
  EXPECT_FALSE(reader.Truncated());
  return bytes;
}

struct Seen : TSources::PacketConsumer {
  void PacketComplete(TSource&, TFields& definition) override {
    std::string text = definition.Name().ToUtf8();
    for (TField* field : definition.Fields().Items<TField>()) {
      text += "|" + field->Value().ToUtf8();
    }
    packets.push_back(text);
  }
  int Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& packet : packets) count += packet.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }
  std::vector<std::string> packets;
};

TEST(DemoFeedTest, ProfileLoadsWithTheSettingsCode) {
  KRegistry root(KDefaultSettings::Table());
  KProfile profile(KString((kDemo + "/telvane.cfg").c_str()));
  ASSERT_TRUE(profile.Load(root));
  EXPECT_EQ(root.LookupText(u"\\Sources\\1\\Script").ToUtf8(), "Chronvale.rss");
  EXPECT_EQ(root.LookupText(u"\\Sources\\1\\SerialPort").ToUtf8(), "-2,127.0.0.1,29250");
  EXPECT_EQ(root.LookupText(u"\\Sources\\1\\Name").ToUtf8(), "Source");
  EXPECT_EQ(root.LookupInt(u"\\Sources\\1\\CharMode", -1), 0);
  EXPECT_EQ(root.LookupText(u"\\Sources\\DebugPort").ToUtf8(), "-2,127.0.0.1,29251");
  // Defaults the profile does not name stay.
  EXPECT_EQ(root.LookupInt(u"\\Sources\\LayoutDrawDelay", -1), 2000);
}

TEST(DemoFeedTest, DemoRaceThroughASource) {
  KRegistry root(KDefaultSettings::Table());
  KProfile profile(KString((kDemo + "/telvane.cfg").c_str()));
  ASSERT_TRUE(profile.Load(root));
  // Any free port: a demo may be running on the fixed ones.
  root.LookupString(u"\\Sources\\1\\SerialPort")
      ->Assign(KString(("-2,127.0.0.1," + std::to_string(Loopback::FreePort())).c_str()));
  root.LookupString(u"\\Sources\\DebugPort")->Assign(KString(u"0"));
  ASSERT_TRUE(KSocket::StartNetwork());

  TFieldStringProcessor processor;
  TSources sources(root, KString(kDemo.c_str()), processor);
  sources.Prepare(false);
  KRGroup* scripts = root.LookupGroup(u"\\Sources\\Scripts\\");
  ASSERT_NE(scripts, nullptr);
  EXPECT_EQ(scripts->LookupText(u"1").ToUtf8(), "Chronvale.rss");
  sources.Create();
  ASSERT_EQ(sources.Count(), 1);
  EXPECT_EQ(sources.Definitions().Count(), 4);
  Seen seen;
  sources.AddConsumer(&seen);
  std::vector<std::string> commands;
  sources.SetCommandSink([&](TSource&, const KString& line) { commands.push_back(line.ToUtf8()); });

  auto* port = dynamic_cast<KTCPSocket*>(sources.At(0)->Port());
  ASSERT_NE(port, nullptr);
  const int client = Loopback::Connect(port->LocalPort());
  ASSERT_GE(client, 0);
  ASSERT_TRUE(Loopback::SendAll(client, CaptureBytes()));
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline && commands.size() < 9) sources.Poll();
  close(client);

  ASSERT_EQ(commands.size(), 9u);
  EXPECT_EQ(commands[0], "Command=LayoutDraw;Name=Start;Delay=0;Clear=1");
  EXPECT_EQ(commands[1], "Command=Trigger;Name=Go");
  EXPECT_EQ(commands[2], "\x16\x16");  // the console's idle line
  EXPECT_EQ(commands[3], "Command=LayoutDraw;Name=Results;Clear=1");
  EXPECT_EQ(commands[4], "Command=Trigger;Name=Podium");
  EXPECT_EQ(commands[5], "Command=Trigger;Name=Podium");  // the bare LF repeats it
  // The podium line goes off while the results still show: a trigger
  // reaches only the layout on the display.
  EXPECT_EQ(commands[6], "Command=Trigger;Name=Podium;Action=Off");
  EXPECT_EQ(commands[7], "Command=LayoutDraw;Name=Board;Delay=0");
  EXPECT_EQ(commands[8], "\x16\x16");
  EXPECT_EQ(seen.Count("Title|"), 1);
  EXPECT_EQ(seen.Count("Result|"), 32);
  EXPECT_EQ(seen.Count("RunningTime|"), 275);
  // The board page comes in one packet: its stream without the EOT that
  // ends it, a grid first and a flush last.
  ASSERT_EQ(seen.Count("Board|"), 1);
  const std::string& page =
      *std::find_if(seen.packets.begin(), seen.packets.end(),
                    [](const std::string& packet) { return packet.rfind("Board|", 0) == 0; });
  EXPECT_EQ(page.rfind("Board|\x12LayoutSetup=19,9\x14", 0), 0u) << page;
  EXPECT_TRUE(page.ends_with("\x14\x12LayoutFlush\x14")) << page;
  EXPECT_EQ(page.find('\x04'), std::string::npos);
  EXPECT_LT(page.size(), 2048u);
  ASSERT_FALSE(seen.packets.empty());
  EXPECT_EQ(seen.packets[0], "Title|007|02|Women 50 m Freestyle");
  EXPECT_NE(std::find(seen.packets.begin(), seen.packets.end(), "Result|1|5|Ada Okonkwo|NGR|24.0"),
            seen.packets.end());
  EXPECT_NE(std::find(seen.packets.begin(), seen.packets.end(), "RunningTime|007|02|27.5"),
            seen.packets.end());
}

}  // namespace
