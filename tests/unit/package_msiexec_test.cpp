#include <gtest/gtest.h>

#include "files/install_log.h"
#include "package/install_decision.h"
#include "package/msiexec_command.h"
#include "package/msiexec_runner.h"
#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

constexpr WindowHandle kOwner = 0x1001;
const std::wstring kMsiexecStart =
    L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-x64.msi\" ";
const std::wstring kLogPath = L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log";
const std::wstring kLogOption = L"/Lv! \"" + kLogPath + L"\"";
const std::wstring kMarker = L"Software\\NeedBstrReboot";

class RunMsiexecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.ownerWindow = kOwner;
    windows.now = sim::kMarchFirst2027;
    sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-x64.msi");
    sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0");
  }

  Dword Run(const std::wstring& arguments, bool silent = false,
            const std::wstring& installedCode = sim::kOtherProductCode) {
    return RunMsiexec(context, silent, logPath, installedCode, L"quorlcom*x64*", arguments);
  }

  std::wstring OnlyCommandLine() {
    EXPECT_EQ(windows.children.size(), 1u);
    return windows.children.empty() ? L"" : windows.children[0].commandLine;
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
  std::wstring logPath;
};

TEST_F(RunMsiexecTest, FreshInstallCommandLineWordForWord) {
  EXPECT_EQ(Run(L" /qb ADDNPQUORL=1", false, L""), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(),
            L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-x64.msi\" /Lv! "
            L"\"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log\" REBOOT=R  /qb ADDNPQUORL=1");
  EXPECT_EQ(windows.children[0].creationFlags, kCreateNoWindow);
  EXPECT_EQ(logPath, kLogPath);
  EXPECT_EQ(windows.standardOutput, std::vector<std::wstring>{L"2027-03-01-09-05-03"});
}

struct CommandCase {
  const char* name;
  InstalledProduct product;
  std::wstring fragments;  // the pieces between " /qb" and the user's text
};

struct UserText {
  std::wstring text;
  bool ownLog;   // holds /l or /L
  bool quietUi;  // holds /q
};

TEST_F(RunMsiexecTest, CommandLineForEveryCaseAndUserText) {
  const CommandCase cases[] = {
      {"fresh install", {false, false, false}, L" ADDNPQUORL=1"},
      {"same product code", {true, true, false}, L" REINSTALL=ALL REINSTALLMODE=vomus"},
      {"same product code, feature absent",
       {true, true, true},
       L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3} REINSTALL=ALL "
       L"REINSTALLMODE=vomus"},
      {"different product code", {true, false, false}, L""},
      {"different product code, feature absent", {true, false, true}, L" ADDLOCAL=ALL"},
  };
  const UserText users[] = {
      {L"", false, false},
      {L" ALLUSERS=1 ", false, false},
      {L" /qn ", false, true},
      {L" /QN ", false, false},
      {L" /lv C:\\my.log ", true, false},
      {L" /L*v C:\\my.log /qb! ", true, true},
      {L" INSTALLDIR=D:/local URL=https://a/quorl ", false, false},
      {L" X=\"a /l /q\" \"/qb\" ", false, true},
  };
  for (const auto& c : cases) {
    for (const auto& user : users) {
      sim::SimulatedWindows machine;
      machine.now = sim::kMarchFirst2027;
      sim::AddPluginPackageFile(machine, L"C:\\Setup\\quorlcom-x64.msi");
      RunContext run(machine);
      std::wstring log;
      std::wstring arguments = BuildPluginArguments(c.product, user.text, false);
      ASSERT_EQ(RunMsiexec(run, false, log, L"", L"quorlcom*x64*", arguments), 0u);
      std::wstring expected = kMsiexecStart + (user.ownLog ? L"" : kLogOption) + L" REBOOT=R " +
                              (user.quietUi ? L"" : L" /qb") + c.fragments + user.text;
      ASSERT_EQ(machine.children.size(), 1u);
      EXPECT_EQ(machine.children[0].commandLine, expected)
          << c.name << " / user text \"" << std::string(user.text.begin(), user.text.end()) << "\"";
      EXPECT_EQ(log, user.ownLog ? L"" : kLogPath);
      EXPECT_EQ(machine.standardOutput.size(), user.ownLog ? 0u : 1u);
    }
  }
}

TEST_F(RunMsiexecTest, TheLogIsNamedInLocalTime) {
  windows.utcOffsetSeconds = 3 * 3600;
  Run(L" /qb");
  EXPECT_EQ(logPath, L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-12-05-03.log");
  EXPECT_EQ(windows.standardOutput, std::vector<std::wstring>{L"2027-03-01-12-05-03"});
}

TEST_F(RunMsiexecTest, BlanksAndCyrillicLettersInPaths) {
  windows.moduleFileName = L"C:\\Program Files\\Установка ЭЦП\\setup.exe";
  sim::AddPluginPackageFile(windows, L"C:\\Program Files\\Установка ЭЦП\\quorlcom x64 (2).msi");
  windows.environment[L"TMP"] = L"C:\\Users\\Иван Петров\\Temp";
  windows.AddFolder(windows.environment[L"TMP"]);
  EXPECT_EQ(Run(L" /qb"), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(),
            L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Program Files\\Установка "
            L"ЭЦП\\quorlcom x64 (2).msi\" /Lv! \"C:\\Users\\Иван "
            L"Петров\\Temp\\quorlcom x64 (2).msi_2027-03-01-09-05-03.log\" REBOOT=R  /qb");
  EXPECT_EQ(sim::EventsWith(windows, L"msi-source-set:"),
            std::vector<std::wstring>{L"msi-source-set:" + std::wstring(sim::kOtherProductCode) +
                                      L",4,0,PackageName=quorlcom x64 (2).msi"});
}

TEST_F(RunMsiexecTest, NoPackageShows139AndDoesNothingElse) {
  EXPECT_EQ(RunMsiexec(context, false, logPath, L"", L"quorlcom*win32*", L" /qb"), kErrorNoData);
  sim::ExpectOnlyPackageErrorBox(windows, 139, kOwner);
  EXPECT_TRUE(sim::EventsWith(windows, L"getenv:").empty());
  EXPECT_TRUE(sim::EventsWith(windows, L"msi-source").empty());
  EXPECT_TRUE(windows.children.empty());
  EXPECT_EQ(windows.openKernelHandles(), 0);
}

TEST_F(RunMsiexecTest, WithoutTmpNothingRunsAndMessage144Shows) {
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Run(L" /qb"), kErrorEnvVarNotFound);
  sim::ExpectOnlyPackageErrorBox(windows, 144, kOwner);
  EXPECT_TRUE(windows.children.empty());
  EXPECT_TRUE(sim::EventsWith(windows, L"msi-source").empty());
  EXPECT_EQ(logPath, L"");
  EXPECT_TRUE(windows.standardOutput.empty());
}

// An empty TMP reads as 0 characters and leaves the last error as an earlier call left it
// (18 from the end of a package search, say): the code is 203 whatever that was.
TEST_F(RunMsiexecTest, AnEmptyTmpNamesNoFolder) {
  for (Dword leftOver : {0u, 18u, 5u}) {
    SCOPED_TRACE(leftOver);
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    run.ownerWindow = kOwner;
    fresh.environment[L"TMP"] = L"";
    fresh.lastError = leftOver;
    std::wstring path;
    EXPECT_EQ(MakeLogPath(run, false, L"quorlcom-win32.msi", path), kErrorEnvVarNotFound);
    sim::ExpectOnlyPackageErrorBox(fresh, 144, kOwner);
    EXPECT_EQ(path, L"");
  }
  windows.environment[L"TMP"] = L"";
  EXPECT_EQ(Run(L" /qb"), kErrorEnvVarNotFound);
  EXPECT_TRUE(windows.children.empty());
  EXPECT_EQ(logPath, L"");
}

TEST_F(RunMsiexecTest, WithoutTmpButWithTheUsersLogMsiexecRuns) {
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Run(L" /qb /L*v D:\\setup.log "), kErrorSuccess);
  EXPECT_TRUE(sim::EventsWith(windows, L"getenv:").empty());
  EXPECT_EQ(OnlyCommandLine(), kMsiexecStart + L" REBOOT=R  /qb /L*v D:\\setup.log ");
  EXPECT_EQ(logPath, L"");
}

TEST_F(RunMsiexecTest, SilentFailuresShowNothingAndKeepTheirCodes) {
  EXPECT_EQ(RunMsiexec(context, true, logPath, L"", L"quorlcom*win32*", L""), kErrorNoData);
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Run(L"", true), kErrorEnvVarNotFound);
  windows.environment[L"TMP"] = L"C:\\Temp";
  windows.systemDirectoryError = 1001;
  EXPECT_EQ(Run(L"", true), 1001u);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_TRUE(windows.children.empty());
}

TEST_F(RunMsiexecTest, ASystemDirectoryFailureAfterTheLogWasNamed) {
  windows.systemDirectoryError = 1001;
  EXPECT_EQ(Run(L" /qb"), 1001u);
  sim::ExpectOnlyPackageErrorBox(windows, 152, kOwner);
  EXPECT_EQ(logPath, kLogPath);
  EXPECT_TRUE(windows.children.empty());
  EXPECT_TRUE(sim::EventsWith(windows, L"msi-source").empty());
}

TEST_F(RunMsiexecTest, TheSystemDirectoryIsReadWith259Characters) {
  windows.systemDirectory = L"C:\\" + std::wstring(255, L'd');  // 258 characters fit
  Run(L" /qb");
  windows.systemDirectory = L"C:\\" + std::wstring(256, L'd');  // 259 need 260
  Run(L" /qb");
  ASSERT_EQ(windows.children.size(), 2u);
  EXPECT_EQ(windows.children[0].commandLine.substr(0, 272),
            L"\"" + windows.systemDirectory.substr(0, 258) + L"\\msiexec.exe\"");
  EXPECT_EQ(windows.children[1].commandLine.substr(0, 15), L"\"\\msiexec.exe\" ");
}

TEST_F(RunMsiexecTest, TheSourceListIsPointedAtThePackageBeforeMsiexecRuns) {
  Run(L" /qb");
  const std::wstring code = sim::kOtherProductCode;
  auto clear = sim::FirstEventWith(windows, L"msi-source-clear:" + code + L",0");
  auto set = sim::FirstEventWith(windows,
                                 L"msi-source-set:" + code + L",4,0,PackageName=quorlcom-x64.msi");
  auto run = sim::FirstEventWith(windows, L"run:");
  EXPECT_LT(clear, set);
  EXPECT_LT(set, run);
  EXPECT_LT(run, windows.events.size());
  EXPECT_TRUE(sim::EventsWith(windows, L"delete-file:").empty());  // Windows 10
}

TEST_F(RunMsiexecTest, SourceListCallsAreMadeAndIgnoredOnAFreshInstall) {
  EXPECT_EQ(Run(L" /qb", false, L""), kErrorSuccess);
  EXPECT_EQ(sim::EventsWith(windows, L"msi-source"),
            (std::vector<std::wstring>{L"msi-source-clear:,0",
                                       L"msi-source-set:,4,0,PackageName=quorlcom-x64.msi"}));
}

struct ReleaseCase {
  Dword major;
  Dword minor;
  bool deletes;
};

TEST_F(RunMsiexecTest, TheSourceHashIsDeletedBeforeMsiexecOnlyOnReleases51And52) {
  const ReleaseCase releases[] = {{5, 0, false}, {5, 1, true},  {5, 2, true},
                                  {6, 1, false}, {6, 2, false}, {10, 0, false}};
  const std::wstring deletion =
      L"delete-file:C:\\Windows\\installer\\SourceHash" + std::wstring(sim::kOtherProductCode);
  for (const auto& release : releases) {
    sim::SimulatedWindows machine;
    machine.majorVersion = release.major;
    machine.minorVersion = release.minor;
    sim::AddPluginPackageFile(machine, L"C:\\Setup\\quorlcom-x64.msi");
    RunContext run(machine);
    RunMsiexec(run, false, logPath, sim::kOtherProductCode, L"quorlcom*x64*", L"");
    auto deleted = sim::FirstEventWith(machine, deletion);
    if (release.deletes) {
      EXPECT_LT(sim::FirstEventWith(machine, L"msi-source-set:"), deleted);
      EXPECT_LT(deleted, sim::FirstEventWith(machine, L"run:"));
    } else {
      EXPECT_EQ(deleted, machine.events.size()) << release.major << "." << release.minor;
    }
  }
}

TEST_F(RunMsiexecTest, NoSourceHashIsDeletedForAnEmptyOrMalformedCode) {
  windows.majorVersion = 5;
  windows.minorVersion = 1;
  Run(L"", false, L"");
  Run(L"", false, L"{..\\..\\system32\\config}");
  EXPECT_TRUE(sim::EventsWith(windows, L"delete-file:C:\\Windows").empty());
  EXPECT_EQ(windows.children.size(), 2u);
}

struct ExitCase {
  Dword exitCode;
  Dword startError;
  Dword result;
  bool marker;
};

TEST_F(RunMsiexecTest, ExitCodesAndTheRestartMarker) {
  const ExitCase cases[] = {
      {3010, 0, 0, true},     {3011, 0, 0, true},     {1641, 0, 0, true},
      {0, 0, 0, false},       {1603, 0, 1603, false}, {1602, 0, 1602, false},
      {1638, 0, 1638, false}, {3012, 0, 3012, false}, {0, 2, 2, false},
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows machine;
    machine.now = sim::kMarchFirst2027;
    sim::AddPluginPackageFile(machine, L"C:\\Setup\\quorlcom-x64.msi");
    machine.childBehaviours[sim::kMsiexec].startError = c.startError;
    sim::ScriptMsiexec(machine, c.exitCode);
    RunContext run(machine);
    std::wstring log;
    EXPECT_EQ(RunMsiexec(run, false, log, L"", L"quorlcom*x64*", L""), c.result) << c.exitCode;
    EXPECT_EQ(machine.KeyExists(kMarker), c.marker) << c.exitCode;
    if (c.marker) {
      EXPECT_GT(sim::FirstEventWith(machine, L"reg-create:" + kMarker),
                sim::FirstEventWith(machine, L"run:"));
      ASSERT_EQ(machine.registryCalls.size(), 2u);  // the marker, then its volatile witness
      EXPECT_EQ(machine.registryCalls[0].access, 0x2021Fu);
      const auto& witness = machine.registryCalls[1];
      EXPECT_EQ(
          witness.operation + L" " + witness.path,
          L"create HKLM\\SOFTWARE\\StalverBrowserPluginPendingRestart\\" + machine.tokenUserSid);
      EXPECT_EQ(std::make_pair(witness.access, witness.options), std::make_pair(0x20219u, 1u));
    } else {
      EXPECT_TRUE(machine.registryCalls.empty()) << c.exitCode;
    }
    EXPECT_EQ(log, kLogPath);
    EXPECT_TRUE(machine.boxes.empty());
    EXPECT_EQ(machine.openKernelHandles(), 0);
    EXPECT_EQ(machine.openRegistryKeys(), 0);
    EXPECT_EQ(machine.openMsiHandles(), 0);
  }
}

TEST(MsiexecCommandTest, FileNameIsWhatFollowsTheLastBackslash) {
  EXPECT_EQ(FileNameOf(L"C:\\a b\\c.msi"), L"c.msi");
  EXPECT_EQ(FileNameOf(L"c.msi"), L"c.msi");
  EXPECT_EQ(FileNameOf(L"C:\\dir\\"), L"");
}

TEST(InstallLogTest, LogTimestampFormatsAndPrintsTheLocalTime) {
  sim::SimulatedWindows windows;
  windows.now = sim::kMarchFirst2027;
  RunContext context(windows);
  EXPECT_EQ(LogTimestamp(context), L"2027-03-01-09-05-03");
  EXPECT_EQ(windows.standardOutput, std::vector<std::wstring>{L"2027-03-01-09-05-03"});
  std::wstring logPath = L"kept";
  windows.environment.erase(L"TMP");
  windows.lastError = 0;
  EXPECT_EQ(MakeLogPath(context, true, L"csp", logPath), kErrorEnvVarNotFound);
  EXPECT_EQ(logPath, L"kept");
}

}  // namespace
}  // namespace boot
