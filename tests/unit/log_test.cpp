#include <gtest/gtest.h>

#include <functional>

#include "log/decimal_text.h"
#include "log/run_log.h"
#include "log/secret_values.h"
#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

using sim::RunBootstrapper;
using sim::SimulatedWindows;

const wchar_t kRunLog[] = L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03.log";
const std::wstring kInstallLog = L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log";
const std::wstring kCspLog = L"C:\\Temp\\csp_2027-03-01-09-05-03.log";
const char kBom[] = "\xEF\xBB\xBF";

// The log's lines without their time, after checking the BOM, the CRLF line ends and that
// each line starts with the milliseconds since the start.
std::vector<std::string> LogLines(const SimulatedWindows& windows,
                                  const std::wstring& path = kRunLog) {
  std::string content = windows.fileContents.at(path);
  EXPECT_EQ(content.substr(0, 3), kBom);
  std::vector<std::string> lines;
  for (std::size_t start = 3; start < content.size();) {
    std::size_t end = content.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CRLF: " << content.substr(start);
    if (end == std::string::npos) break;
    std::string line = content.substr(start, end - start);
    std::size_t blank = line.find(' ');
    EXPECT_EQ(line.find_first_not_of("0123456789"), blank) << line;
    lines.push_back(line.substr(blank + 1));
    start = end + 2;
  }
  return lines;
}

// Each of `expected` appears in `lines`, in this order.
void ExpectInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected,
                   const std::string& what) {
  auto next = lines.begin();
  for (const auto& line : expected) {
    next = std::find(next, lines.end(), line);
    ASSERT_NE(next, lines.end()) << what << ": missing or out of order: " << line;
  }
}

void FreshInstallAskingForRestart(SimulatedWindows& windows) {
  sim::AddPluginPackage(windows);
  sim::ScriptMsiexec(windows, 3010);
  windows.childBehaviours[sim::kMsiexec].effect = [&windows] { windows.tickCount += 1500; };
}

TEST(RunLogTest, SilentFreshInstallFromStartToEnd) {
  SimulatedWindows windows;
  FreshInstallAskingForRestart(windows);
  EXPECT_EQ(RunBootstrapper(windows, L"-silent -norestart"), 0u);
  const std::vector<std::string> expected = {
      u8"program: C:\\Setup\\bootstrapper.exe, file version 1.0.0.0",
      u8"command line: \"C:\\Setup\\bootstrapper.exe\" -silent -norestart",
      u8"Windows: 10.0 build 19045, service pack 0.0, product type 1 (workstation)",
      u8"WoW64 process: yes",
      u8"native machine: 0x8664, package: x64",
      u8"UI language: 0x0419",
      u8"account: SYSTEM, session 1",
      u8"TMP: C:\\Temp",
      u8"desktop: visible (window station visible; session 1)",
      u8"options: -silent=yes -norestart=yes -reinstall=no -csp=no -selectDlg=no -uninstall=no "
      u8"-QuorlArgs=\"\" -CSPArgs=\"\" -vbscript=\"\" -log=\"\"",
      u8"check administrator: passed",
      u8"box 103 suppressed by -silent: \"Установить Сталвер ЭЦП Browser plug-in?\"; answer "
      u8"taken Yes",
      u8"related product of UpgradeCode {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}: none (259)",
      u8"package property ProductCode = {11111111-2222-3333-4444-555555555555}",
      u8"decision: fresh install (no product of the plug-in family is installed)",
      u8"starting: \"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-x64.msi\" "
      u8"/Lv! \"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log\" REBOOT=R  /qb "
      u8"ADDNPQUORL=1",
      u8"the program ended with exit code 3010 after 1500 ms",
      u8"decision: success, restart pending (msiexec asked for a restart)",
      u8"restart marker HKCU\\Software\\NeedBstrReboot: created",
      u8"restart marker HKCU\\Software\\NeedBstrReboot: found",
      u8"restart marker HKCU\\Software\\NeedBstrReboot: kept for a later run (-norestart)",
      u8"box 110 suppressed by -silent: \"Сталвер ЭЦП Browser plug-in успешно установлен.\\nДля "
      u8"корректной работы Сталвер ЭЦП Browser plug-in может потребоваться перезапустить "
      u8"браузер.\"; answer taken OK",
      u8"exit code 0: success, or nothing to do (help shown, declined, cancelled, same version)",
  };
  ExpectInOrder(LogLines(windows), expected, "silent fresh install");
  // The time of each line: the child's 1500 ms lie between its start and its end.
  const std::string& content = windows.fileContents.at(kRunLog);
  EXPECT_NE(content.find("\r\n0 starting: "), std::string::npos);
  EXPECT_NE(content.find("\r\n1500 the program ended"), std::string::npos);
  EXPECT_EQ(windows.openFiles(), 0);
  // The run's log, then msiexec's (closed again before msiexec starts): new files only.
  const std::wstring flags = L",1073741824,1,1,128";
  EXPECT_EQ(sim::EventsWith(windows, L"create-file:"),
            (std::vector<std::wstring>{L"create-file:" + std::wstring(kRunLog) + flags,
                                       L"create-file:" + kInstallLog + flags}));
  EXPECT_LT(sim::FirstEventWith(windows, L"close-file"), sim::FirstEventWith(windows, L"run:"));
}

// What stands under an install log's name is removed first; without a new file of its own
// the child gets no log option, and the failure report names no log.
TEST(RunLogTest, InstallLogsAreMadeByTheProgram) {
  const std::pair<const wchar_t*, bool> cases[] = {{L"", true}, {L"", false}, {L"-csp", false}};
  for (const auto& [arguments, fileUnderTheName] : cases) {
    const std::wstring log = arguments[0] ? kCspLog : kInstallLog;
    SimulatedWindows windows;
    sim::AddPluginPackage(windows);
    sim::ScriptMsiexec(windows, 1603);
    windows.childBehaviours[L"C:\\Setup\\csp\\Setup.exe"].exitCode = 1603;
    fileUnderTheName ? windows.AddFile(log) : windows.AddFolder(log);
    windows.boxAnswers = {kIdYes, kIdOk};
    EXPECT_EQ(RunBootstrapper(windows, arguments), 1603u);
    ASSERT_EQ(windows.children.size(), 1u);
    EXPECT_EQ(windows.children[0].commandLine.find(log) != std::wstring::npos, fileUnderTheName);
    const std::wstring& report = windows.boxes.at(1).text;
    EXPECT_EQ(report.substr(report.find(L".\n")),
              fileUnderTheName ? L".\nInstall log: " + log : L".\n");
    if (fileUnderTheName) continue;
    ExpectInOrder(LogLines(windows),
                  {"install log " + ToUtf8(log) +
                   " could NOT be made (error 80): the program gets no log option"},
                  "a folder under the name");
  }
}

struct ContentCase {
  const char* name;
  std::function<void(SimulatedWindows&)> arrange;
  const wchar_t* arguments;
  Dword exitCode;
  std::vector<std::string> lines;
};

// The lines that the Wine scenarios do not show: restart, declined upgrade, failed start,
// secret values masked.
TEST(RunLogTest, EachKindOfLine) {
  const ContentCase cases[] = {
      {"upgrade declined ends the process",
       [](SimulatedWindows& w) {
         sim::AddPluginPackage(w, L"3.0.0.0");
         sim::AddInstalledPlugin(w, sim::kOtherProductCode, L"2.0.0.0");
         w.boxAnswers = {kIdYes, kIdNo};
       },
       L"",
       1,
       {u8"versions: installed 2.0.0.0, package 3.0.0.0: the package is newer",
        u8"box 153 shown: \"Будет произведено обновление Stalver Browser plug-in 2.0.0.0 до "
        u8"версии 3.0.0.0. Обновить?\"; answer No",
        u8"decision: end the run (the upgrade was declined)",
        u8"exit code 1: not an administrator, or the upgrade was declined"}},
      {"restart asked and refused",
       [](SimulatedWindows& w) {
         FreshInstallAskingForRestart(w);
         w.exitWindowsError = 5;
       },
       L"-silent",
       7,
       {u8"restart marker HKCU\\Software\\NeedBstrReboot: found",
        u8"box 108 suppressed by -silent: \"Сталвер ЭЦП Browser plug-in успешно установлен.\\nДля "
        u8"корректной работы Сталвер ЭЦП Browser plug-in необходимо перезагрузить компьютер."
        u8"\\nПроизвести перезагрузку сейчас?\"; answer taken Yes",
        u8"asking Windows to restart", u8"Windows refused the restart: error 5",
        u8"restart marker HKCU\\Software\\NeedBstrReboot: kept: the restart is still pending",
        u8"exit code 7: installed, but Windows refused the restart"}},
      {"CSP that cannot start; account facts unknown",
       [](SimulatedWindows& w) {
         w.childBehaviours[L"C:\\Setup\\csp\\Setup.exe"].startError = 2;
         w.sessionKnown = false;
         w.userName = L"Администратор";
       },
       L"-csp -silent -CSPArgs /qn",
       2,
       {u8"account: Администратор, session unknown",
        u8"options: -silent=yes -norestart=no -reinstall=no -csp=yes -selectDlg=no -uninstall=no "
        u8"-QuorlArgs=\"\" -CSPArgs=\"/qn \" -vbscript=\"\" -log=\"\"",
        u8"the program could not be started: error 2",
        u8"decision: end the run (the CSP installation failed)",
        u8"exit code 2: the failing step's own code (its exit code or the Windows error of its "
        u8"start)"}},
      {"secret values",
       [](SimulatedWindows& w) { sim::AddPluginPackage(w); },
       LR"(-silent -csp -CSPArgs "PASSWORD=\"Hx4 Kp9\"" -QuorlArgs "Pin=\"1 2\" X=3" )"
       LR"(-quorlargs db.PassWord=s3 -QuorlArgs PROXY_PASS=p4 -QuorlArgs SQL_CREDENTIAL=c5)",
       0,
       {u8R"(command line: "C:\Setup\bootstrapper.exe" -silent -csp -CSPArgs "PASSWORD=*** )"
        u8R"(-QuorlArgs "Pin=*** X=3" -quorlargs db.PassWord=*** -QuorlArgs PROXY_PASS=*** )"
        u8R"(-QuorlArgs SQL_CREDENTIAL=***)",
        u8R"(options: -silent=yes -norestart=no -reinstall=no -csp=yes -selectDlg=no -uninstall=no )"
        u8R"(-QuorlArgs=" Pin=*** X=3  db.PassWord=***  PROXY_PASS=***  SQL_CREDENTIAL=*** " )"
        u8R"(-CSPArgs="PASSWORD=*** " -vbscript="" -log="")",
        u8R"(starting: csp\Setup.exe -args "/qb /Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" )"
        u8"PASSWORD=*** \" -noreboot -root -silent",
        u8R"(starting: "C:\Windows\system32\msiexec.exe" /i "C:\Setup\quorlcom-x64.msi" )"
        u8R"(/Lv! "C:\Temp\quorlcom-x64.msi_2027-03-01-09-05-03.log" REBOOT=R  /qb ADDNPQUORL=1 )"
        u8"Pin=*** X=3  db.PassWord=***  PROXY_PASS=***  SQL_CREDENTIAL=*** "}},
      {"an unrecognised argument",
       [](SimulatedWindows&) {},
       L"-silent api_token=xyz",
       0,
       {u8"argument not recognised: api_token=***"}},
  };
  for (const auto& c : cases) {
    SimulatedWindows windows;
    c.arrange(windows);
    EXPECT_EQ(RunBootstrapper(windows, c.arguments), c.exitCode) << c.name;
    ExpectInOrder(LogLines(windows), c.lines, c.name);
    EXPECT_EQ(windows.openFiles(), 0) << c.name;
  }
}

// Values are read as msiexec reads them and as CommandLineToArgvW does; names hold a secret
// word in any case, before "=" or ":".
TEST(RunLogTest, SecretValuesAreMaskedAsTheirReadersReadThem) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"PASSWORD=abc /qn", L"PASSWORD=*** /qn"},
      {L"SECRET=\"x y\" Z=1", L"SECRET=*** Z=1"},
      {L"\"PWD=q\" ALLUSERS=1", L"\"PWD=*** ALLUSERS=1"},
      {L"PIN=\\\"1 2\\\"\" rest", L"PIN=***"},
      {L"TOKEN=\"open", L"TOKEN=***"},
      {L"passwd=a=b KEY=\tPIN=", L"passwd=*** KEY=***\tPIN=***"},
      {L"INSTALLDIR=C:\\Keys KEYS.X=1", L"INSTALLDIR=C:\\Keys KEYS.X=***"},
      {L"PASSWORD=\"a\"\"b c\" X=1", L"PASSWORD=*** X=1"},
      {L"PASSWORD=\"a\"\"\"b c\" X=1", L"PASSWORD=*** X=1"},
      {L"PASSWORD=ab\"cd ef\" X=1", L"PASSWORD=*** X=1"},
      {L"PROXY_PASS=p1 SQL_CREDENTIAL=c1 api_psk=k AuthHeader=h URL=https://x/pin",
       L"PROXY_PASS=*** SQL_CREDENTIAL=*** api_psk=*** AuthHeader=*** URL=https://x/pin"},
      {L"C:\\s.vbs /password:x -Pin:\"1 2\" /user:me",
       L"C:\\s.vbs /password:*** -Pin:*** /user:me"},
      {LR"("C:\b.exe" -QuorlArgs "PASSWORD=\"Hx4 Kp9\"" -QuorlArgs "X=1 TOKEN=\"t u\" Y=2" -silent)",
       LR"("C:\b.exe" -QuorlArgs "PASSWORD=*** -QuorlArgs "X=1 TOKEN=*** Y=2" -silent)"},
      {LR"(-QuorlArgs "KEY=\\\"x y\\\"" A=1)", LR"(-QuorlArgs "KEY=*** A=1)"},
  };
  for (const auto& [text, masked] : cases) EXPECT_EQ(MaskSecretValues(text), masked);
}

// What a run shows and leaves, apart from its own log.
struct Outcome {
  Dword exitCode;
  std::vector<std::wstring> boxes;
  std::vector<std::wstring> output;
  std::vector<std::wstring> children;
  bool marker;
};

Outcome RunFailingInstall(SimulatedWindows& windows) {
  sim::AddPluginPackage(windows);
  sim::ScriptMsiexec(windows, 1603);
  windows.boxAnswers = {kIdYes, kIdOk};
  Outcome outcome{RunBootstrapper(windows, L""), {}, windows.standardOutput, {}, false};
  for (const auto& box : windows.boxes) {
    outcome.boxes.push_back(box.caption + L"|" + box.text + L"|" + std::to_wstring(box.style));
  }
  for (const auto& child : windows.children) outcome.children.push_back(child.commandLine);
  outcome.marker = windows.KeyExists(L"Software\\NeedBstrReboot");
  return outcome;
}

// The run's own log cannot be made; the install log can.
void RefuseRunLog(SimulatedWindows& windows, Dword error) {
  windows.createFileError = error;
  windows.createFileErrorPrefix = L"C:\\Temp\\bootstrapper_";
}

struct FailureCase {
  const char* name;
  std::function<void(SimulatedWindows&)> breakLog;
  bool fileMade;
};

TEST(RunLogTest, ALogThatCannotBeWrittenChangesNothingElse) {
  SimulatedWindows reference;
  Outcome expected = RunFailingInstall(reference);
  const std::string& fullLog = reference.fileContents.at(kRunLog);
  const FailureCase cases[] = {
      {"the folder refuses the file", [](SimulatedWindows& w) { RefuseRunLog(w, 5); }, false},
      {"the folder is gone", [](SimulatedWindows& w) { RefuseRunLog(w, 3); }, false},
      {"disk full at once", [](SimulatedWindows& w) { w.writableBytes = 0; }, true},
      {"disk full after the first line", [](SimulatedWindows& w) { w.writableBytes = 80; }, true},
      {"disk full midway", [](SimulatedWindows& w) { w.writableBytes = 1000; }, true},
  };
  for (const auto& c : cases) {
    SimulatedWindows windows;
    c.breakLog(windows);
    Outcome outcome = RunFailingInstall(windows);
    EXPECT_EQ(outcome.exitCode, expected.exitCode) << c.name;
    EXPECT_EQ(outcome.boxes, expected.boxes) << c.name;
    EXPECT_EQ(outcome.output, expected.output) << c.name;
    EXPECT_EQ(outcome.children, expected.children) << c.name;
    EXPECT_EQ(outcome.marker, expected.marker) << c.name;
    EXPECT_EQ(windows.openFiles(), 0) << c.name;
    EXPECT_EQ(windows.fileContents.count(kRunLog), c.fileMade ? 1u : 0u) << c.name;
    if (!c.fileMade) continue;
    // What was written is the start of the whole log, up to the write that failed.
    const std::string& written = windows.fileContents.at(kRunLog);
    EXPECT_LT(written.size(), fullLog.size()) << c.name;
    EXPECT_EQ(fullLog.compare(0, written.size(), written), 0) << c.name;
    EXPECT_EQ(written.size() < 2 || written.substr(written.size() - 2) == "\r\n", true) << c.name;
  }
}

// Without TMP, or with an empty one, the run ends 203 as it always did and tries no file.
TEST(RunLogTest, WithoutTmpNoFileIsTried) {
  for (bool setButEmpty : {false, true}) {
    SimulatedWindows windows;
    windows.environment.erase(L"TMP");
    if (setButEmpty) windows.environment[L"TMP"] = L"";
    EXPECT_EQ(RunFailingInstall(windows).exitCode, kErrorEnvVarNotFound);
    EXPECT_TRUE(sim::EventsWith(windows, L"create-file:").empty());
  }
}

TEST(RunLogTest, ATakenNameGetsTheNextSuffixAndOnlyATakenName) {
  SimulatedWindows windows;
  windows.AddFile(kRunLog);
  windows.AddFile(L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03_2.log");
  RunBootstrapper(windows, L"-silent");
  EXPECT_EQ(sim::EventsWith(windows, L"create-file:").size(), 3u);
  EXPECT_EQ(windows.fileContents.count(kRunLog), 0u);
  EXPECT_FALSE(LogLines(windows, L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03_3.log").empty());

  SimulatedWindows refused;
  refused.createFileError = 5;
  RunBootstrapper(refused, L"-silent");
  EXPECT_EQ(sim::EventsWith(refused, L"create-file:").size(), 1u);
}

TEST(RunLogTest, NumbersInDecimal) {
  EXPECT_EQ(DecimalText(-3) + DecimalText(4294967295), L"-34294967295");
  EXPECT_EQ(DecimalText(INT64_MIN), L"-9223372036854775808");
}

TEST(RunLogTest, Utf8OfEveryPlane) {
  EXPECT_EQ(ToUtf8(L"a\u00e9\u0416\u20ac"), "a\xC3\xA9\xD0\x96\xE2\x82\xAC");
  std::wstring pair;
  pair += static_cast<wchar_t>(0xD83D);
  pair += static_cast<wchar_t>(0xDE00);
  EXPECT_EQ(ToUtf8(pair), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace boot
