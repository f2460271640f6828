// Packets from real sources reach the objects of every open layout.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "layout/t_layout.h"
#include "layout/t_text_object.h"
#include "ports/k_socket.h"
#include "ports/k_tcp_socket.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_sources.h"
#include "tests/layout/layout_fixture.h"
#include "tests/ports/loopback.h"
#include "tests/ports/temp_home.h"
#include "tests/support/free_port.h"

namespace {

using namespace std::chrono_literals;

// Two packet definitions, so the layouts can choose between them.
const char kScript[] =
    ";;Result\n"
    "header=\\02R,length=2\n"
    "trailer=\\03,length=1\n"
    "textfield=Name,length=8,process=%s\\L0\\P0\n"
    ";;Clock\n"
    "header=\\02C,length=2\n"
    "trailer=\\03,length=1\n"
    "textfield=Name,length=8\n";

class LayoutSourcesTest : public LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    ASSERT_FALSE(home.Path().empty());
    std::ofstream(home.File("race.rss")) << kScript;
    ASSERT_TRUE(KSocket::StartNetwork());
    const std::string listen =
        "\\Sources\\1\\SerialPort:String=-2,127.0.0.1," + std::to_string(FreeLoopbackPort());
    for (const char* line :
         {"\\Sources\\1\\:=", "\\Sources\\1\\Name:String=Pool",
          "\\Sources\\1\\Script:String=race.rss", listen.c_str(), "\\Sources\\1\\CharMode:Int=0"}) {
      root.Apply(KString(line));
    }
    sources = std::make_unique<TSources>(root, KString(home.Path().c_str()), processor);
    sources->Prepare(false);
    sources->Create();
    ASSERT_EQ(sources->Count(), 1);
  }
  void TearDown() override {
    TLayoutServices::Get().ConnectSources(nullptr);
    sources.reset();
    LayoutTest::TearDown();
  }

  bool PollUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      sources->Poll();
      if (done()) return true;
      pollfd none{};
      poll(&none, 0, 2);
    }
    return false;
  }
  int Connect() {
    auto* tcp = dynamic_cast<KTCPSocket*>(sources->At(0)->Port());
    const int fd = tcp ? Loopback::Connect(tcp->LocalPort()) : -1;
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(PollUntil([&] { return sources->At(0)->PortOpen() == 0; }));
    return fd;
  }
  static TTextObject* BoundText(TLayout& layout) {
    auto* text = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
    text->SetField(KString(u"Name"));
    return text;
  }

  TempHome home;
  KRegistry root{KDefaultSettings::Table()};
  TFieldStringProcessor processor;
  std::unique_ptr<TSources> sources;
};

TEST_F(LayoutSourcesTest, EveryOpenLayoutTakesEveryPacket) {
  TLayout before;  // open before the sources are connected
  TTextObject* first = BoundText(before);
  TLayoutServices::Get().ConnectSources(sources.get());
  TLayout after;
  TTextObject* second = BoundText(after);
  // The second layout listens to the clock definition (index 1) only.
  after.SetSourceMode(1);
  after.SetSourceSelected(1, true);
  auto closed = std::make_unique<TLayout>();
  BoundText(*closed);
  closed.reset();  // a closed layout is no longer called

  const int client = Connect();
  ASSERT_TRUE(Loopback::SendAll(client, "\x02RAda     \x03"));
  ASSERT_TRUE(PollUntil([&] { return first->Value() == KString(u"Ada"); }));
  EXPECT_TRUE(second->Value().IsEmpty());
  ASSERT_TRUE(Loopback::SendAll(client,
                                "\x02"
                                "C12:00:01\x03"));
  ASSERT_TRUE(PollUntil([&] { return second->Value() == KString(u"12:00:01"); }));
  EXPECT_EQ(first->Value(), KString(u"12:00:01"));

  // Disconnected layouts hear nothing more, though the packet arrives.
  struct Counter : TSources::PacketConsumer {
    void PacketComplete(TSource&, TFields&) override { ++packets; }
    int packets = 0;
  } counter;
  sources->AddConsumer(&counter);
  TLayoutServices::Get().ConnectSources(nullptr);
  ASSERT_TRUE(Loopback::SendAll(client, "\x02RLena    \x03"));
  ASSERT_TRUE(PollUntil([&] { return counter.packets == 1; }));
  EXPECT_EQ(first->Value(), KString(u"12:00:01"));
  sources->RemoveConsumer(&counter);
  close(client);
}

}  // namespace
