#include "driver/install_options.h"

#include <gtest/gtest.h>

#include "support/simulated_windows.h"

namespace boot {
namespace {

const wchar_t kHelpWithoutCsp[] =
    L"Установщик Сталвер ЭЦП Browser plug-in.\n"
    L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n"
    L"\n"
    L"Возможные параметры командной строки:\n"
    L"  -?\t\t\tвывести данную справку\n"
    L"  -quorlargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n\t\t\t"
    L"вызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"
    L"  -reinstall\t\t\tпереустановка продукта\n"
    L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n"
    L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n";
const wchar_t kCspHelpLines[] =
    L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n\t\t\t"
    L"вызова msiexec /i при установке\n\t\t\tпакета MSI Сталвер CSP\n"
    L"  -selectDlg\tвывести диалог выбора конфигурации Сталвер CSP\n"
    L"  -KC\t\t\tуровень KC Сталвер CSP\n"
    L"  -Lang\t\t\tязык Сталвер CSP\n";

struct Parsed {
  bool helpShown = false;
  InstallOptions options;
  std::wstring kcPattern;
  std::wstring langPattern;
  std::vector<sim::RecordedBox> boxes;
};

Parsed Parse(const std::wstring& commandLine) {
  sim::SimulatedWindows windows;
  windows.commandLine = commandLine;
  RunContext context(windows);
  context.ownerWindow = 0x77;
  Parsed parsed;
  try {
    ParseCommandLine(context, &parsed.options);
  } catch (const sim::SimulatedExit& exit) {
    EXPECT_EQ(exit.exitCode, 0u);
    parsed.helpShown = true;
  }
  parsed.kcPattern = context.kcPattern;
  parsed.langPattern = context.langPattern;
  parsed.boxes = windows.boxes;
  return parsed;
}

std::wstring Started(const std::wstring& arguments) { return L"C:\\Setup\\setup.exe " + arguments; }

TEST(ParseCommandLineTest, HelpBoxIsExactAndEndsWithZero) {
  auto parsed = Parse(Started(L"-help"));
  ASSERT_TRUE(parsed.helpShown);
  ASSERT_EQ(parsed.boxes.size(), 1u);
  EXPECT_EQ(parsed.boxes[0].text, kHelpWithoutCsp);
  EXPECT_EQ(parsed.boxes[0].caption, L"Справка");
  EXPECT_EQ(parsed.boxes[0].style, 0x50040u);
  EXPECT_EQ(parsed.boxes[0].owner, 0x77u);
}

TEST(ParseCommandLineTest, HelpCarriesTheCspLinesOnlyAfterCsp) {
  EXPECT_EQ(Parse(Started(L"-csp -help")).boxes.at(0).text,
            std::wstring(kHelpWithoutCsp) + kCspHelpLines);
  EXPECT_EQ(Parse(Started(L"-help -csp")).boxes.at(0).text, kHelpWithoutCsp);
  EXPECT_EQ(Parse(Started(L"-CSPArgs x")).boxes.at(0).text, kHelpWithoutCsp);
  EXPECT_EQ(Parse(Started(L"-csp -unknown")).boxes.at(0).text,
            std::wstring(kHelpWithoutCsp) + kCspHelpLines);
  EXPECT_EQ(Parse(Started(L"-csp -Uninstall")).boxes.at(0).text,
            std::wstring(kHelpWithoutCsp) + kCspHelpLines);
}

TEST(ParseCommandLineTest, ArgumentsThatShowTheHelp) {
  const wchar_t* cases[] = {
      L"-help",      L"--help",        L"/help",         L"-HELP",
      L"-?",         L"-REINSTALL",    L"-Reinstall",    L"-silent -REINSTALL",
      L"-vbscript",  L"-QuorlArgs",    L"-csp -CSPArgs", L"-csp -KC",
      L"-csp -Lang", L"-KC kc1 -csp",  L"-Lang rus",     L"-CSPArgs /qn",
      L"unknown",    L"-silent extra", L"\"\"",          L"-silent -help -norestart",
  };
  for (const wchar_t* arguments : cases) {
    auto parsed = Parse(Started(arguments));
    EXPECT_TRUE(parsed.helpShown) << arguments;
    EXPECT_EQ(parsed.boxes.size(), 1u) << arguments;
  }
}

TEST(ParseCommandLineTest, SwitchesAcceptAnyCaseButReinstall) {
  auto parsed = Parse(Started(L"-SILENT -NoRestart -CSP -SELECTDLG -reinstall"));
  ASSERT_FALSE(parsed.helpShown);
  EXPECT_TRUE(parsed.options.silent);
  EXPECT_TRUE(parsed.options.noRestart);
  EXPECT_TRUE(parsed.options.csp);
  EXPECT_TRUE(parsed.options.selectDlg);
  EXPECT_TRUE(parsed.options.reinstall);
}

TEST(ParseCommandLineTest, NothingIsSetWithoutItsOption) {
  auto parsed = Parse(Started(L"-silent -reinstall"));
  EXPECT_TRUE(parsed.options.silent);
  EXPECT_TRUE(parsed.options.reinstall);
  EXPECT_FALSE(parsed.options.noRestart);
  EXPECT_FALSE(parsed.options.csp);
  EXPECT_FALSE(parsed.options.selectDlg);
  EXPECT_EQ(parsed.options.quorlArgs, L"");
}

struct TextCase {
  const wchar_t* arguments;
  const wchar_t* cspArgs;
  const wchar_t* quorlArgs;
  const wchar_t* vbscript;
};

TEST(ParseCommandLineTest, TextOptionsAccumulate) {
  const TextCase cases[] = {
      {L"-csp -CSPArgs /qn -CSPArgs X=1", L"/qn X=1 ", L"", L""},
      {L"-csp -cspargs \"A B\"", L"A B ", L"", L""},
      {L"-QuorlArgs A=1", L"", L" A=1 ", L""},
      {L"-quorlargs A=1 -QUORLARGS /qn", L"", L" A=1  /qn ", L""},
      {L"-vbscript a.vbs -vbscript b", L"", L"", L"a.vbsb"},
      {L"-vbscript -silent", L"", L"", L"-silent"},
      {L"-QuorlArgs -help", L"", L" -help ", L""},
      {L"-QuorlArgs \"\"", L"", L"  ", L""},
      {L"-QuorlArgs \"INSTALLDIR=\\\"C:\\Program Files\\\"\"", L"",
       L" INSTALLDIR=\"C:\\Program Files\" ", L""},
      {L"-csp -CSPArgs -reinstall", L"-reinstall ", L"", L""},
  };
  for (const auto& c : cases) {
    auto parsed = Parse(Started(c.arguments));
    ASSERT_FALSE(parsed.helpShown) << c.arguments;
    EXPECT_EQ(parsed.options.cspArgs, c.cspArgs) << c.arguments;
    EXPECT_EQ(parsed.options.quorlArgs, c.quorlArgs) << c.arguments;
    EXPECT_EQ(parsed.options.vbscript, c.vbscript) << c.arguments;
  }
}

TEST(ParseCommandLineTest, UninstallAndTheLastLogFolder) {
  auto parsed = Parse(Started(L"-UnInstall -log a -LOG \"C:\\My Logs\" -QuorlArgs /qn"));
  EXPECT_TRUE(parsed.options.uninstall && parsed.options.logFolderGiven);
  EXPECT_EQ(parsed.options.logFolder, L"C:\\My Logs");
  parsed = Parse(Started(L"-log \"\""));
  EXPECT_TRUE(!parsed.options.uninstall && parsed.options.logFolderGiven);
  EXPECT_FALSE(Parse(Started(L"-silent")).options.logFolderGiven);
  // -log without its value; -uninstall beside an option of installing, in either order.
  for (const wchar_t* arguments :
       {L"-log", L"-log x -log", L"-uninstall -csp", L"-reinstall -uninstall",
        L"-uninstall -selectDlg", L"-vbscript \"\" -uninstall"}) {
    EXPECT_TRUE(Parse(Started(arguments)).helpShown) << arguments;
  }
}

TEST(ParseCommandLineTest, ValueIsNeverReadAsAnOption) {
  auto parsed = Parse(Started(L"-vbscript -silent"));
  EXPECT_FALSE(parsed.options.silent);
  parsed = Parse(Started(L"-csp -CSPArgs -reinstall"));
  EXPECT_FALSE(parsed.options.reinstall);
}

TEST(ParseCommandLineTest, CspSettingsBecomeWildcardPatterns) {
  auto parsed = Parse(Started(L"-csp -KC kc1 -Lang rus -kc KC2"));
  ASSERT_FALSE(parsed.helpShown);
  EXPECT_EQ(parsed.kcPattern, L"*kc1**KC2*");
  EXPECT_EQ(parsed.langPattern, L"*rus*");
}

TEST(ParseCommandLineTest, TheProgramPathIsNeverAnOption) {
  auto parsed = Parse(L"\"C:\\My Files\\-help\\setup.exe\" -silent");
  EXPECT_FALSE(parsed.helpShown);
  EXPECT_TRUE(parsed.options.silent);
}

// The options it holds are unknown: the run ends rather than ask where -silent may stand.
TEST(ParseCommandLineTest, UnsplittableCommandLineSetsNothingAndGivesItsError) {
  sim::SimulatedWindows windows;
  windows.commandLine = Started(L"-silent -help");
  windows.commandLineSplitFails = true;
  windows.lastError = 8;
  RunContext context(windows);
  InstallOptions options;
  EXPECT_EQ(ParseCommandLine(context, &options), 8u);
  EXPECT_FALSE(options.silent);
  EXPECT_TRUE(windows.boxes.empty());
}

}  // namespace
}  // namespace boot
