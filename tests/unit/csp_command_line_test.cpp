#include "csp/csp_command_line.h"

#include <gtest/gtest.h>

#include "command_text/installer_options.h"
#include "csp/install_csp.h"
#include "csp_test_support.h"
#include "files/install_log.h"

namespace boot {
namespace {

using csp_test::kLogPath;
using csp_test::kLogTimestamp;

struct CommandLineCase {
  const char* name;
  std::wstring cspArgs;
  bool silent;
  bool reinstall;
  std::wstring expected;
  bool logNamed;  // the bootstrapper named a log (and wrote its time stamp)
  bool nobodyCanSee = false;
};

const CommandLineCase kCommandLineCases[] = {
    {"no options", L"", false, false,
     LR"(csp\Setup.exe -args "/qb /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" " -noreboot -root)",
     true},
    {"own log option", LR"(/lv* C:\x.log )", false, false,
     LR"(csp\Setup.exe -args "/qb /lv* C:\x.log " -noreboot -root)", false},
    {"capital Q is not quiet", L"/QN ", false, false,
     LR"(csp\Setup.exe -args "/qb /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /QN " -noreboot -root)",
     true},
    {"own quiet option", L"/quiet ", false, false,
     LR"(csp\Setup.exe -args "/Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /quiet " -noreboot -root)",
     true},
    {"/l and /q inside values are no options", L"INSTALLDIR=D:/local URL=https://a/quorl ", false,
     false,
     LR"(csp\Setup.exe -args "/qb /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" INSTALLDIR=D:/local URL=https://a/quorl " -noreboot -root)",
     true},
    {"two values", L"/qn X=1 ", false, false,
     LR"(csp\Setup.exe -args "/Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /qn X=1 " -noreboot -root)",
     true},
    {"own quiet and log options", LR"(/qn /L*v C:\y.log )", false, false,
     LR"(csp\Setup.exe -args "/qn /L*v C:\y.log " -noreboot -root)", false},
    {"silent", L"", true, false,
     LR"(csp\Setup.exe -args "/qb /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" " -noreboot -root -silent)",
     true},
    {"reinstall", L"/qn ", false, true,
     LR"(csp\Setup.exe -args "/Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /qn " -noreboot -root -reinstall)",
     true},
    {"silent and reinstall", L"/l* C:\\z.log ", true, true,
     LR"(csp\Setup.exe -args "/qb /l* C:\z.log " -noreboot -root -silent -reinstall)", false},
    {"nobody can see", L"", true, false,
     LR"(csp\Setup.exe -args "/qn /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" " -noreboot -root -silent)",
     true, true},
    {"nobody can see, own interface options", L"/qb URL=https://a/quorl /PASSIVE ", true, false,
     LR"(csp\Setup.exe -args "/Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /qn URL=https://a/quorl /qn " -noreboot -root -silent)",
     true, true},
};

TEST(CspCommandLineTest, SetupReceivesTheExactCommandLine) {
  for (const auto& c : kCommandLineCases) {
    sim::SimulatedWindows windows;
    RunContext context(windows);
    context.nobodyCanSee = c.nobodyCanSee;
    EXPECT_EQ(InstallCspPackage(context, c.silent, c.reinstall, L"csp", c.cspArgs), 0u) << c.name;
    ASSERT_EQ(windows.children.size(), 1u) << c.name;
    EXPECT_EQ(windows.children[0].commandLine, c.expected) << c.name;
    EXPECT_EQ(windows.children[0].creationFlags, kCreateNoWindow) << c.name;
    EXPECT_EQ(windows.children[0].applicationName, csp_test::kSetupProgram) << c.name;
    auto expectedOutput =
        c.logNamed ? std::vector<std::wstring>{kLogTimestamp} : std::vector<std::wstring>{};
    EXPECT_EQ(windows.standardOutput, expectedOutput) << c.name;
    EXPECT_TRUE(windows.boxes.empty()) << c.name;
  }
}

TEST(CspCommandLineTest, FolderNamesTheProgramAndTheLog) {
  sim::SimulatedWindows windows;
  RunContext context(windows);
  EXPECT_EQ(InstallCspPackage(context, false, false, L"other", L""), 0u);
  ASSERT_EQ(windows.children.size(), 1u);
  EXPECT_EQ(
      windows.children[0].commandLine,
      LR"(other\Setup.exe -args "/qb /Lv! """C:\Temp\other_2027-03-01-09-05-03.log""" " -noreboot -root)");
}

TEST(CspCommandLineTest, BuilderPutsTheGivenLogPathInTheLogOption) {
  EXPECT_EQ(BuildCspCommandLine(L"csp", L"A=1 ", L"D:\\logs\\a b.log", false, false, false),
            LR"(csp\Setup.exe -args "/qb /Lv! """D:\logs\a b.log""" A=1 " -noreboot -root)");
  EXPECT_EQ(BuildCspCommandLine(L"csp", L"/qb A=/L ", L"", true, false, false),
            LR"(csp\Setup.exe -args "/qb A=/L " -noreboot -root -silent)");
}

// Options are tokens as msiexec reads them: text inside a value is never an option. Where
// nobody can see, every token msiexec takes for a user interface becomes /qn.
TEST(InstallerOptionsTest, TokensAsMsiexecReadsThem) {
  struct Case {
    std::wstring options;
    bool log;
    bool ui;
    std::wstring unseen;
  };
  const Case cases[] = {
      {L"", false, false, L""},
      {L"/lv* a /qn ", true, true, L"/lv* a /qn "},
      {L"/L*V a ", true, false, L"/L*V a "},
      {L"X=D:/local /QN ", false, false, L"X=D:/local /qn "},
      {L"SERVERURL=https://ca.example/quorl/enroll ", false, false,
       L"SERVERURL=https://ca.example/quorl/enroll "},
      {L"X=\"a /qb /l\" \"/qb\" ", false, true, L"X=\"a /qb /l\" /qn "},
      {L"X=\"a \"\"/qb\" -Qr /passive -PASSIVE /qn+ /quiet ", false, true,
       L"X=\"a \"\"/qb\" /qn /qn /qn /qn /qn "},
      {L"X=\\l / l /Lv! /package", true, false, L"X=\\l / l /Lv! /package"},
      {L"/L a.log /q ", true, true, L"/L a.log /qn "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HoldsLogOption(c.options), c.log) << c.options;
    EXPECT_EQ(HoldsUiOption(c.options), c.ui) << c.options;
    std::vector<std::wstring> replaced;
    EXPECT_EQ(WithNoUiOnly(c.options, &replaced), c.unseen) << c.options;
  }
}

}  // namespace
}  // namespace boot
