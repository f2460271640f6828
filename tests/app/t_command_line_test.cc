#include "app/t_command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/t_home.h"
#include "test_home.h"

namespace {

TCommandLine Line(std::initializer_list<const char*> arguments) {
  std::vector<KString> list;
  for (const char* argument : arguments) list.emplace_back(argument);
  return TCommandLine(std::move(list));
}

}  // namespace

TEST(TCommandLine, HasSwitchMatchesPrefixIgnoringCaseFromIndexOne) {
  const TCommandLine line = Line({"-noserialport", "file.tln", "-NoSerialPortNow", "-x"});
  const KString* found = line.HasSwitch(KString("-noserialport"));
  ASSERT_NE(found, nullptr);
  // The program path (index 0) is never a switch.
  EXPECT_EQ(found->ToUtf8(), "-NoSerialPortNow");
  EXPECT_EQ(line.HasSwitch(KString("-NOSER"))->ToUtf8(), "-NoSerialPortNow");
  // The argument must begin with the whole switch, not the other way round.
  EXPECT_EQ(line.HasSwitch(KString("-xy")), nullptr);
  EXPECT_EQ(line.HasSwitch(KString("file.tln2")), nullptr);
  EXPECT_EQ(Line({"telvane"}).HasSwitch(KString("-")), nullptr);
}

TEST(TCommandLine, OptionValueTakesBothForms) {
  KString value;
  EXPECT_TRUE(Line({"p", "--home", "/srv/a"}).OptionValue(KString("--home"), value));
  EXPECT_EQ(value.ToUtf8(), "/srv/a");
  EXPECT_TRUE(Line({"p", "--home=/srv/b"}).OptionValue(KString("--home"), value));
  EXPECT_EQ(value.ToUtf8(), "/srv/b");
  EXPECT_FALSE(Line({"p", "--home"}).OptionValue(KString("--home"), value));
  EXPECT_FALSE(Line({"p", "--homes=/x"}).OptionValue(KString("--home"), value));
}

TEST(THome, SwitchBeatsEnvironmentBeatsProgramFolder) {
  TestHome scratch;
  const KString exe("/opt/telvane/bin/telvane");
  EXPECT_EQ(THome::Resolve(Line({"t", "--home", "/srv/show/"}), "/env/home", exe).ToUtf8(),
            "/srv/show");
  EXPECT_EQ(THome::Resolve(Line({"t"}), "/env/home//", exe).ToUtf8(), "/env/home");
  EXPECT_EQ(THome::Resolve(Line({"t"}), "", exe).ToUtf8(), "/opt/telvane/bin");
  EXPECT_EQ(THome::Resolve(Line({"t"}), nullptr, exe).ToUtf8(), "/opt/telvane/bin");
  EXPECT_EQ(THome::Resolve(Line({"t"}), nullptr, KString("/telvane")).ToUtf8(), "/");
  EXPECT_EQ(THome::ProgramFile(KString("/srv/show")).ToUtf8(), "/srv/show/telvane");
}

TEST(THome, RelativeHomeIsMadeAbsolute) {
  TestHome scratch;
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(scratch.Root().c_str()), 0);
  const KString home = THome::Resolve(Line({"t", "--home=home"}), nullptr, KString("/x/t"));
  EXPECT_EQ(chdir(saved), 0);
  EXPECT_EQ(home.ToUtf8(), scratch.Root() + "/home");
}
