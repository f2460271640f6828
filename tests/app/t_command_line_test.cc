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

namespace {

TCommandLine::Request CheckOf(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "telvane");
  KString text;
  const TCommandLine::Request request =
      TCommandLine(static_cast<int>(args.size()), args.data()).Check(text);
  if (error) *error = text.ToUtf8();
  return request;
}

TEST(TCommandLineCheck, KnownArgumentsRunAndOthersAreRefused) {
  EXPECT_EQ(CheckOf({}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--home", "/tmp/x", "-NoSerialPort"}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--home=/tmp/x", "-platform", "offscreen"}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--help"}), TCommandLine::kHelp);
  EXPECT_EQ(CheckOf({"-noserialport", "-h"}), TCommandLine::kHelp);
  EXPECT_EQ(CheckOf({"--version"}), TCommandLine::kVersion);
  std::string error;
  EXPECT_EQ(CheckOf({"--bogus"}, &error), TCommandLine::kBadArgument);
  EXPECT_EQ(error, "unknown argument --bogus");
  EXPECT_EQ(CheckOf({"layout.tln"}, &error), TCommandLine::kBadArgument);
  EXPECT_EQ(CheckOf({"--home"}, &error), TCommandLine::kBadArgument);
  EXPECT_EQ(error, "--home needs a folder");
  // The value of an option is not taken for an option itself.
  EXPECT_EQ(CheckOf({"--home", "--version"}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--snapshot", "/tmp/d.png,500", "--home", "/tmp/x"}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--snapshot=/tmp/d.png"}), TCommandLine::kRun);
  EXPECT_EQ(CheckOf({"--snapshot"}, &error), TCommandLine::kBadArgument);
  EXPECT_EQ(error, "--snapshot needs a file");
}

}  // namespace
