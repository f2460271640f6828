#include "sources/t_sources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/k_wait_set.h"
#include "config/k_default_settings.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "ports/k_serial_port_info.h"
#include "ports/k_socket.h"
#include "ports/k_tcp_socket.h"
#include "sources/t_field.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "tests/ports/captured_log.h"
#include "tests/ports/loopback.h"
#include "tests/ports/pty_pair.h"
#include "tests/ports/temp_home.h"

namespace {

using namespace std::chrono_literals;

// A listener on a loopback port free right now (port 0 is refused).
std::string ListenSpec() {
  return "-2,127.0.0.1," + std::to_string(Loopback::FreePort());
}

const char kScript[] =
    ";;Result\n"
    "header=\\02R,length=2\n"
    "trailer=\\03,length=1\n"
    "textfield=Lane,length=1\n"
    "textfield=Name,length=20,process=%s\\L0\\P0\n";

// The name is padded to its field width, as the console sends it.
std::string Packet(char lane, std::string name) {
  name.resize(20, ' ');
  return std::string("\x02R") + lane + name + "\x03";
}

struct Received {
  int source;
  std::string definition;
  std::string lane;
  std::string name;
};

class SourcesTest : public ::testing::Test, public TSources::PacketConsumer {
 protected:
  void SetUp() override {
    ASSERT_FALSE(home.Path().empty());
    std::ofstream(home.File("race.rss")) << kScript;
    std::ofstream(home.File("other.rss")) << kScript;
    std::ofstream(home.File("notes.txt")) << "not a script";
    ASSERT_TRUE(KSocket::StartNetwork());
  }
  void TearDown() override {
    // Serial ports close before the port list goes.
    sources.reset();
    KSerialPortInfo::Clear();
  }

  void PacketComplete(TSource& source, TFields& definition) override {
    Received got{source.Index(), definition.Name().ToUtf8(), "", ""};
    if (TField* lane = definition.FindField(u"Lane")) got.lane = lane->Value().ToUtf8();
    if (TField* name = definition.FindField(u"Name")) got.name = name->Value().ToUtf8();
    packets.push_back(got);
  }

  void AddSource(const std::string& number, const std::string& script, const std::string& port,
                 const std::string& name = "Source") {
    const std::string prefix = "\\Sources\\" + number + "\\";
    root.Apply(KString((prefix + ":=").c_str()));
    root.Apply(KString((prefix + "Name:String=" + name).c_str()));
    root.Apply(KString((prefix + "Script:String=" + script).c_str()));
    root.Apply(KString((prefix + "SerialPort:String=" + port).c_str()));
    root.Apply(KString((prefix + "CharMode:Int=0").c_str()));
  }

  TSources& Make(bool firstRun = false) {
    sources = std::make_unique<TSources>(root, KString(home.Path().c_str()), processor);
    sources->Prepare(firstRun);
    sources->Create();
    sources->AddConsumer(this);
    sources->SetCommandSink([this](TSource& source, const KString& line) {
      commands.emplace_back(source.Index(), line.ToUtf8());
    });
    return *sources;
  }

  // Polls until `done` holds; false when the deadline passes first.
  bool PollUntil(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      sources->Poll();
      if (done()) return true;
      pollfd none{};
      poll(&none, 0, 2);  // yield the core between passes
    }
    return false;
  }

  uint16_t SourcePort(int index) {
    auto* tcp = dynamic_cast<KTCPSocket*>(sources->At(index)->Port());
    return tcp ? tcp->LocalPort() : 0;
  }
  uint16_t DebugPortNumber() {
    auto* tcp = dynamic_cast<KTCPSocket*>(sources->DebugPort()->Stream());
    return tcp ? tcp->LocalPort() : 0;
  }
  // Connects a client to a source and waits until the source has it.
  int ConnectClient(int index) {
    const int fd = Loopback::Connect(SourcePort(index));
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(PollUntil([&] { return sources->At(index)->PortOpen() == 0; }));
    return fd;
  }
  KString Status(const std::string& number) {
    return sources->Status(*root.LookupGroup(KString(("\\Sources\\" + number + "\\").c_str())));
  }
  std::string Text(const std::string& path) {
    return root.LookupText(KString(path.c_str())).ToUtf8();
  }

  TempHome home;
  KRegistry root{KDefaultSettings::Table()};
  TFieldStringProcessor processor;
  std::unique_ptr<TSources> sources;
  std::vector<Received> packets;
  std::vector<std::pair<int, std::string>> commands;
};

TEST_F(SourcesTest, FirstRunMakesTheChronvaleSource) {
  Make(true);
  ASSERT_EQ(sources->SubgroupCount(), 1);
  KRGroup* group = sources->Subgroup(0);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->Name().ToUtf8(), "1");
  EXPECT_EQ(group->LookupText(u"Name").ToUtf8(), "Source");
  EXPECT_EQ(group->LookupText(u"Script").ToUtf8(), "Chronvale.rss");
  EXPECT_EQ(group->LookupText(u"SerialPort").ToUtf8(), "1,9600,8,N,1.0");
  EXPECT_EQ(group->LookupInt(u"CharMode", -1), 0);
  // No Chronvale.rss in this home: the subgroup stays, without a source.
  EXPECT_EQ(sources->Count(), 0);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Loaded");
}

TEST_F(SourcesTest, ScriptListIsFilledAndNeverSaved) {
  root.Apply(u"\\Sources\\Scripts\\9:String=stale.rss");
  Make();
  KRGroup* scripts = root.LookupGroup(u"\\Sources\\Scripts\\");
  ASSERT_NE(scripts, nullptr);
  EXPECT_FALSE(scripts->IsSaved());
  EXPECT_EQ(scripts->LookupString(u"9"), nullptr);
  EXPECT_EQ(scripts->LookupText(u"1").ToUtf8(), "other.rss");
  EXPECT_EQ(scripts->LookupText(u"2").ToUtf8(), "race.rss");
  EXPECT_EQ(scripts->LookupString(u"3"), nullptr);
}

TEST_F(SourcesTest, OnlyNumericSubgroupsAreSources) {
  AddSource("1", "race.rss", "0,9600,8,N,1.0", "One");
  AddSource("3", "race.rss", "0,9600,8,N,1.0", "Three");
  Make();
  // "Scripts" and "Fields" live under \Sources\ too.
  ASSERT_NE(root.LookupGroup(u"\\Sources\\Fields\\"), nullptr);
  EXPECT_EQ(sources->SubgroupCount(), 2);
  ASSERT_EQ(sources->Count(), 2);
  EXPECT_EQ(sources->At(1)->SourceName().ToUtf8(), "Three");
  EXPECT_EQ(sources->Index(*sources->At(1)), 1);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Running");

  KRGroup* added = sources->NewSourceGroup();
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Name().ToUtf8(), "4");
  EXPECT_EQ(added->LookupText(u"SerialPort").ToUtf8(), "0,9600,8,N,1.0");
  EXPECT_EQ(added->LookupText(u"Script").ToUtf8(), "");
  EXPECT_EQ(sources->SubgroupCount(), 3);
  // Added while running: no source until the next start.
  EXPECT_EQ(sources->Count(), 2);
  EXPECT_EQ(Status("4").ToUtf8(), "Not Loaded");
}

TEST_F(SourcesTest, MissingSettingsOrScriptGiveNoSource) {
  AddSource("1", "missing.rss", "0,9600,8,N,1.0");
  AddSource("2", "race.rss", "0,9600,8,N,1.0");
  root.Apply(u"\\Sources\\3\\:=");
  root.Apply(u"\\Sources\\3\\Script:String=race.rss");
  root.Apply(u"\\Sources\\3\\SerialPort:String=0");
  Make();
  ASSERT_EQ(sources->Count(), 1);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Loaded");
  EXPECT_EQ(Status("3").ToUtf8(), "Not Loaded");
  // Fixing the script does not bring the source to life before the next start.
  root.LookupString(u"\\Sources\\1\\Script")->SetValue(KString(u"race.rss"));
  EXPECT_EQ(sources->Count(), 1);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Loaded");
  EXPECT_EQ(sources->Definitions().Count(), 1);
}

TEST_F(SourcesTest, AComPortIsTakenFromEveryOtherSource) {
  AddSource("1", "race.rss", "0,9600,8,N,1.0");
  AddSource("2", "race.rss", "2,19200,7,E,1.0,500");
  AddSource("3", "missing.rss", "2,4800,8,N,2.0");
  AddSource("4", "race.rss", "3,9600,8,N,1.0");
  Make();
  root.LookupString(u"\\Sources\\1\\SerialPort")->SetValue(KString(u"2,9600,8,N,1.0"));
  EXPECT_EQ(Text("\\Sources\\1\\SerialPort"), "2,9600,8,N,1.0");
  EXPECT_EQ(Text("\\Sources\\2\\SerialPort"), "0,19200,7,E,1.0");
  EXPECT_EQ(Text("\\Sources\\3\\SerialPort"), "0,4800,8,N,2.0");
  EXPECT_EQ(Text("\\Sources\\4\\SerialPort"), "3,9600,8,N,1.0");
  EXPECT_EQ(sources->At(1)->PortOpen(), -1);
  EXPECT_EQ(Status("2").ToUtf8(), "Not Running");
}

TEST_F(SourcesTest, SerialSourceOnAPseudoTerminalGivesItsPortAway) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  KSerialPortInfo::Enumeration devices;
  devices.device = [&](int number) {
    return number == 2 ? pty.SlaveName() : home.File("no-tty-" + std::to_string(number));
  };
  ASSERT_EQ(KSerialPortInfo::Enumerate(devices), 1);
  AddSource("1", "race.rss", "2,9600,8,N,1.0", "Pool");
  AddSource("2", "race.rss", "0,9600,8,N,1.0", "Track");
  Make();
  ASSERT_TRUE(PollUntil([&] { return sources->At(0)->PortOpen() == 0; }));
  EXPECT_EQ(Status("1").ToUtf8(), "Running");

  // Line ends arrive untranslated: the CR stays part of the command line.
  ASSERT_TRUE(pty.Send(Packet('1', "Serial") + "Command=Trigger;Name=Go\r\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  EXPECT_EQ(commands[0].second, "Command=Trigger;Name=Go\r");
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].source, 0);

  root.LookupString(u"\\Sources\\2\\SerialPort")->SetValue(KString(u"2,9600,8,N,1.0"));
  EXPECT_EQ(Text("\\Sources\\1\\SerialPort"), "0,9600,8,N,1.0");
  EXPECT_EQ(sources->At(0)->PortOpen(), -1);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Running");
  ASSERT_TRUE(PollUntil([&] { return sources->At(1)->PortOpen() == 0; }));
  ASSERT_TRUE(pty.Send(Packet('2', "Moved")));
  ASSERT_TRUE(PollUntil([&] { return packets.size() == 2; }));
  EXPECT_EQ(packets[1].source, 1);
  EXPECT_EQ(packets[1].name, "Moved");
}

TEST_F(SourcesTest, ScriptAndCodeSetChangesApply) {
  AddSource("1", "race.rss", "0,9600,8,N,1.0");
  Make();
  TSource& source = *sources->At(0);
  ASSERT_EQ(source.Definitions().Count(), 1);
  std::ofstream(home.File("two.rss")) << kScript << ";;Second\nheader=\\02S,length=2\n";
  root.LookupString(u"\\Sources\\1\\Script")->SetValue(KString(u"two.rss"));
  EXPECT_EQ(source.Definitions().Count(), 2);
  EXPECT_EQ(sources->Definitions().Count(), 2);
  root.LookupString(u"\\Sources\\1\\Script")->SetValue(KString(u"gone.rss"));
  EXPECT_EQ(source.Definitions().Count(), 0);
  root.LookupInt(u"\\Sources\\1\\CharMode")->SetValue(1);
  EXPECT_EQ(source.Port()->ReadEncoding(), KStream::kEncoding16Bit);
}

TEST_F(SourcesTest, PacketsNoiseAndCommandsOverTcp) {
  AddSource("1", "race.rss", ListenSpec(), "Pool");
  Make();
  ASSERT_EQ(sources->Count(), 1);
  ASSERT_NE(SourcePort(0), 0);
  EXPECT_EQ(Status("1").ToUtf8(), "Not Connected");
  const int client = ConnectClient(0);
  EXPECT_EQ(Status("1").ToUtf8(), "Running");

  ASSERT_TRUE(Loopback::SendAll(
      client, "\x01\xff garbage " + Packet('4', "Ada Okonkwo") + "Command=Trigger;Name=Go\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].lane, "4");
  EXPECT_EQ(packets[0].name, "Ada Okonkwo");
  // The noise before the packet was dropped with the packet traffic.
  EXPECT_EQ(commands[0].second, "Command=Trigger;Name=Go");

  // A bare LF repeats the last command; packet traffic forgets it.
  ASSERT_TRUE(Loopback::SendAll(client, "\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 2; }));
  EXPECT_EQ(commands[1].second, "Command=Trigger;Name=Go");
  ASSERT_TRUE(Loopback::SendAll(client, Packet('5', "Lena Brandt") + "\nCommand=LayoutDraw\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 3; }));
  EXPECT_EQ(commands[2].second, "Command=LayoutDraw");
  EXPECT_EQ(packets.size(), 2u);

  // Two commands in one burst: one per tick, none lost.
  ASSERT_TRUE(Loopback::SendAll(client, "A=1\nB=2\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 5; }));
  EXPECT_EQ(commands[3].second, "A=1");
  EXPECT_EQ(commands[4].second, "B=2");
  close(client);
}

TEST_F(SourcesTest, UnicodeCodeSetSurvivesCharactersSplitAcrossReads) {
  AddSource("1", "race.rss", ListenSpec());
  root.Apply(u"\\Sources\\1\\CharMode:Int=1");
  Make();
  const int client = ConnectClient(0);
  size_t observed = 0;
  sources->At(0)->Port()->SetReadObserver(
      [&](const uint8_t*, int count) { observed += static_cast<size_t>(count); });
  std::string wide;
  for (const char ch : Packet('7', "Sofia") + "Go=1\n") {
    wide += ch;
    wide += '\0';
  }
  // Odd-sized pieces, each read by a pass of its own.
  for (size_t at = 0; at < wide.size(); at += 7) {
    ASSERT_TRUE(Loopback::SendAll(client, wide.substr(at, 7)));
    const size_t want = std::min(at + 7, wide.size());
    ASSERT_TRUE(PollUntil([&] { return observed == want; }));
  }
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].name, "Sofia");
  EXPECT_EQ(commands[0].second, "Go=1");
  close(client);
}

TEST_F(SourcesTest, APeerThatComesBackResumes) {
  AddSource("1", "race.rss", ListenSpec());
  Make();
  int client = ConnectClient(0);
  ASSERT_TRUE(Loopback::SendAll(client, Packet('1', "First")));
  ASSERT_TRUE(PollUntil([&] { return packets.size() == 1; }));
  Loopback::Reset(client);
  ASSERT_TRUE(PollUntil([&] { return sources->At(0)->PortOpen() == -1; }));
  client = ConnectClient(0);
  ASSERT_TRUE(Loopback::SendAll(client, Packet('2', "Second")));
  ASSERT_TRUE(PollUntil([&] { return packets.size() == 2; }));
  EXPECT_EQ(packets[1].name, "Second");
  close(client);
}

TEST_F(SourcesTest, DebugPortEchoesEventsAndFiltersBySource) {
  AddSource("1", "race.rss", ListenSpec(), "Pool");
  AddSource("2", "race.rss", ListenSpec(), "Track");
  root.LookupString(u"\\Sources\\DebugPort")->Assign(KString(ListenSpec().c_str()));
  Make();
  ASSERT_EQ(sources->Count(), 2);
  ASSERT_NE(DebugPortNumber(), 0);
  const int debug = Loopback::Connect(DebugPortNumber());
  ASSERT_GE(debug, 0);
  ASSERT_TRUE(PollUntil([&] { return sources->DebugActive(); }));
  const int pool = ConnectClient(0);
  const int track = ConnectClient(1);

  ASSERT_TRUE(Loopback::SendAll(pool, Packet('3', "Hana")));
  ASSERT_TRUE(PollUntil([&] { return packets.size() == 1; }));
  std::string seen = Loopback::Receive(debug, 1u << 20, 300ms);
  EXPECT_NE(seen.find("{Pool Result HDR}"), std::string::npos) << seen;
  EXPECT_NE(seen.find("{Pool Result BDY TRL}"), std::string::npos) << seen;
  EXPECT_NE(seen.find("000000:"), std::string::npos) << seen;
  EXPECT_NE(seen.find("[02]R"), std::string::npos) << seen;

  // "2" shows only the second source.
  ASSERT_TRUE(Loopback::SendAll(debug, "2"));
  ASSERT_TRUE(PollUntil([&] { return sources->DebugPort()->Filter() == 1; }));
  Loopback::Receive(debug, 1u << 20, 100ms);
  ASSERT_TRUE(Loopback::SendAll(pool, Packet('1', "Mara")));
  ASSERT_TRUE(Loopback::SendAll(track, Packet('6', "Zoe")));
  ASSERT_TRUE(PollUntil([&] { return packets.size() == 3; }));
  seen = Loopback::Receive(debug, 1u << 20, 300ms);
  EXPECT_NE(seen.find("{Track Result BDY TRL}"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Pool"), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Mara"), std::string::npos) << seen;
  EXPECT_NE(seen.find("Zoe"), std::string::npos) << seen;
  close(pool);
  close(track);
  close(debug);
}

TEST_F(SourcesTest, DebugPortIsRemadeWhenItsSettingChanges) {
  AddSource("1", "race.rss", ListenSpec(), "Pool");
  Make();
  sources->Poll();
  EXPECT_FALSE(sources->DebugActive());
  root.LookupString(u"\\Sources\\DebugPort")->SetValue(KString(ListenSpec().c_str()));
  ASSERT_NE(DebugPortNumber(), 0);
  const int debug = Loopback::Connect(DebugPortNumber());
  ASSERT_GE(debug, 0);
  ASSERT_TRUE(PollUntil([&] { return sources->DebugActive(); }));
  const int pool = ConnectClient(0);
  ASSERT_TRUE(Loopback::SendAll(pool, "Hi\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  const std::string seen = Loopback::Receive(debug, 1u << 20, 300ms);
  EXPECT_NE(seen.find("Hi[0A]"), std::string::npos) << seen;
  root.LookupString(u"\\Sources\\DebugPort")->SetValue(KString(u"0"));
  sources->Poll();
  EXPECT_FALSE(sources->DebugActive());
  close(pool);
  close(debug);
}

TEST_F(SourcesTest, ConsumersComeAndGo) {
  AddSource("1", "race.rss", ListenSpec());
  Make();
  const int client = ConnectClient(0);
  sources->RemoveConsumer(this);
  ASSERT_TRUE(Loopback::SendAll(client, Packet('1', "Unseen") + "X=1\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  EXPECT_TRUE(packets.empty());
  sources->AddConsumer(this);
  sources->AddConsumer(this);  // once only
  ASSERT_TRUE(Loopback::SendAll(client, Packet('2', "Seen") + "X=2\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 2; }));
  EXPECT_EQ(packets.size(), 1u);
  close(client);
}

}  // namespace

TEST_F(SourcesTest, APassTakesItsBudgetAndTheRestFollowsInOrder) {
  AddSource("1", "race.rss", ListenSpec(), "Pool");
  Make();
  const int client = ConnectClient(0);
  // Far more than one pass may take: 24 characters a packet.
  constexpr int kPackets = 12000;
  std::string burst;
  for (int i = 0; i < kPackets; ++i)
    burst += Packet(static_cast<char>('0' + i % 10), "N" + std::to_string(i));
  std::thread sender([&] { EXPECT_TRUE(Loopback::SendAll(client, burst)); });
  size_t mostInOnePass = 0;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (packets.size() < static_cast<size_t>(kPackets) &&
         std::chrono::steady_clock::now() < deadline) {
    const size_t before = packets.size();
    sources->Poll();
    mostInOnePass = std::max(mostInOnePass, packets.size() - before);
  }
  sender.join();
  ASSERT_EQ(packets.size(), static_cast<size_t>(kPackets));
  for (int i = 0; i < kPackets; i += 997) EXPECT_EQ(packets[i].name, "N" + std::to_string(i));
  EXPECT_LE(mostInOnePass, static_cast<size_t>(TSource::kPassChars / 24 + 1));
  close(client);
}

TEST_F(SourcesTest, ACommandEndsThePassAndTheRestIsDueAtOnce) {
  AddSource("1", "race.rss", ListenSpec(), "Pool");
  Make();
  const int client = ConnectClient(0);
  ASSERT_TRUE(Loopback::SendAll(client, "A=1\nB=2\n"));
  ASSERT_TRUE(PollUntil([&] { return commands.size() == 1; }));
  // The second line is read already: the loop must not sleep on the port.
  KWaitSet set;
  sources->CollectWaits(set);
  EXPECT_EQ(set.TimeoutMs(KWaitSet::NowMs()), 0);
  sources->Poll();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1].second, "B=2");
  // Nothing left: the loop sleeps on the connection and the debug port only.
  set.Clear();
  sources->CollectWaits(set);
  EXPECT_EQ(set.TimeoutMs(KWaitSet::NowMs()), -1);
  EXPECT_FALSE(set.Descriptors().empty());
  close(client);
}

namespace {

// 82 bytes on the wire: STX, "R", a lane, a 78-character name and ETX.
std::string LongPacket(int n) {
  std::string name = "Runner " + std::to_string(n);
  name.resize(78, '.');
  return std::string("\x02R") + static_cast<char>('0' + n % 10) + name + "\x03";
}

const char kLongScript[] =
    ";;Result\n"
    "header=\\02R,length=2\n"
    "trailer=\\03,length=1\n"
    "textfield=Lane,length=1\n"
    "textfield=Name,length=78\n";

}  // namespace

TEST_F(SourcesTest, DebugEchoKeepsUpWithAThousandPacketsASecond) {
  std::ofstream(home.File("long.rss")) << kLongScript;
  AddSource("1", "long.rss", ListenSpec(), "Pool");
  root.LookupString(u"\\Sources\\DebugPort")->Assign(KString(ListenSpec().c_str()));
  Make();
  const int debug = Loopback::Connect(DebugPortNumber());
  ASSERT_GE(debug, 0);
  ASSERT_TRUE(PollUntil([&] { return sources->DebugActive(); }));
  int writes = 0;
  sources->DebugPort()->Stream()->SetWriteObserver([&](const uint8_t*, int) { ++writes; });
  const int pool = ConnectClient(0);
  constexpr int kPackets = 2000;
  std::atomic<int> events{0};
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    std::string tail;
    while (!stop && events < kPackets) {
      pollfd waiting{debug, POLLIN, 0};
      if (poll(&waiting, 1, 20) <= 0) continue;
      char block[65536];
      const ssize_t got = recv(debug, block, sizeof block, 0);
      if (got <= 0) return;
      tail.append(block, static_cast<size_t>(got));
      for (size_t at = tail.find("BDY TRL}"); at != std::string::npos;
           at = tail.find("BDY TRL}", at + 1)) {
        ++events;
      }
      tail.erase(0, tail.size() > 8 ? tail.size() - 8 : 0);
    }
  });
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    // Ten packets every 10 ms: a thousand a second.
    for (int i = 0; i < kPackets; i += 10) {
      std::string ten;
      for (int k = i; k < i + 10; ++k) ten += LongPacket(k);
      EXPECT_TRUE(Loopback::SendAll(pool, ten));
      std::this_thread::sleep_for(10ms);
    }
    sent = true;
  });
  int passes = 0;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while ((!sent || events < kPackets) && std::chrono::steady_clock::now() < deadline) {
    sources->Poll();
    ++passes;
    pollfd none{};
    poll(&none, 0, 1);
  }
  stop = true;
  sender.join();
  reader.join();
  EXPECT_EQ(static_cast<int>(packets.size()), kPackets);
  EXPECT_EQ(events.load(), kPackets);
  EXPECT_EQ(sources->DebugPort()->Dropped(), 0);
  // One write a pass at most, however many bytes it echoed.
  EXPECT_LE(writes, passes);
  close(pool);
  close(debug);
}

TEST_F(SourcesTest, ASlowDebugReaderLosesEchoButNeverHoldsUpTheSources) {
  CapturedLog log;
  ASSERT_TRUE(log.IsOpen());
  const auto began = std::chrono::steady_clock::now();
  std::ofstream(home.File("long.rss")) << kLongScript;
  AddSource("1", "long.rss", ListenSpec(), "Pool");
  root.LookupString(u"\\Sources\\DebugPort")->Assign(KString(ListenSpec().c_str()));
  Make();
  // Connected, never reading.
  const int debug = Loopback::Connect(DebugPortNumber());
  ASSERT_GE(debug, 0);
  ASSERT_TRUE(PollUntil([&] { return sources->DebugActive(); }));
  const int pool = ConnectClient(0);
  constexpr int kPackets = 40000;  // some 3 MiB, several times the echo the socket holds
  std::string burst;
  for (int i = 0; i < kPackets; ++i) burst += LongPacket(i);
  std::thread sender([&] { EXPECT_TRUE(Loopback::SendAll(pool, burst)); });
  auto longest = std::chrono::steady_clock::duration::zero();
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (packets.size() < static_cast<size_t>(kPackets) &&
         std::chrono::steady_clock::now() < deadline) {
    const auto start = std::chrono::steady_clock::now();
    sources->Poll();
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
  }
  sender.join();
  EXPECT_EQ(static_cast<int>(packets.size()), kPackets);
  EXPECT_GT(sources->DebugPort()->Dropped(), 0);
  EXPECT_LT(longest, 2s);
  // The loss is logged, at most once every ten seconds rather than once a pass.
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began);
  const std::string lines = log.Text();
  const std::string said = "Debug port: the reader is too slow, echo bytes dropped: ";
  int times = 0;
  for (size_t at = lines.find(said); at != std::string::npos; at = lines.find(said, at + 1)) {
    ++times;
  }
  EXPECT_GE(times, 1) << lines;
  EXPECT_LE(times, 1 + seconds.count() / 10) << lines;
  close(pool);
  close(debug);
}
