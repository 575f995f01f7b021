#include "driver/install_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>

#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

using sim::RunBootstrapper;

const wchar_t kPluginCaption[] = L"Сталвер ЭЦП Browser plug-in";
const wchar_t kCspCaption[] = L"Установка Сталвер";
const wchar_t kMarker[] = L"Software\\NeedBstrReboot";
const wchar_t kWitnessParent[] = L"HKLM\\SOFTWARE\\StalverBrowserPluginPendingRestart\\";
const wchar_t kInstalled[] =
    L"Сталвер ЭЦП Browser plug-in успешно установлен.\nДля корректной работы Сталвер ЭЦП Browser "
    L"plug-in может потребоваться перезапустить браузер.";
const wchar_t kRestartQuestion[] =
    L"Сталвер ЭЦП Browser plug-in успешно установлен.\nДля корректной работы Сталвер ЭЦП Browser "
    L"plug-in необходимо перезагрузить компьютер.\nПроизвести перезагрузку сейчас?";
const wchar_t kRestartFailed[] =
    L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную.";
const wchar_t kLogPath[] = L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log";

class InstallSequenceTest : public ::testing::Test {
 protected:
  InstallSequenceTest() {
    sim::AddPluginPackage(windows);
    sim::ScriptMsiexec(windows, 0);
  }

  bool MsiexecRan() const {
    return std::any_of(windows.children.begin(), windows.children.end(), [](const auto& child) {
      return child.commandLine.find(L"msiexec.exe") != std::wstring::npos;
    });
  }

  sim::SimulatedWindows windows;
};

TEST_F(InstallSequenceTest, OwnerWindowIsAHiddenDisabledStatic) {
  RunBootstrapper(windows, L"-silent");
  EXPECT_EQ(windows.events.at(0), L"window:0,STATIC,,134217728,-2147483648,0,-2147483648,0");
}

TEST_F(InstallSequenceTest, PlainStartAsksOnceInstallsAndReports) {
  windows.boxAnswers = {kIdYes, kIdOk};
  EXPECT_EQ(RunBootstrapper(windows, L""), 0u);
  ASSERT_EQ(windows.boxes.size(), 2u);
  EXPECT_EQ(windows.boxes[0].text, L"Установить Сталвер ЭЦП Browser plug-in?");
  EXPECT_EQ(windows.boxes[0].caption, kPluginCaption);
  EXPECT_EQ(windows.boxes[0].style, 0x50004u);
  EXPECT_EQ(windows.boxes[0].owner, windows.ownerWindowHandle);
  EXPECT_EQ(windows.boxes[1].text, kInstalled);
  EXPECT_EQ(windows.boxes[1].style, 0x50000u);
  EXPECT_LT(sim::FirstEventWith(windows, L"msi-ui:2"), sim::FirstEventWith(windows, L"box:"));
  EXPECT_EQ(windows.msiInternalUiLevel, 2);
}

TEST_F(InstallSequenceTest, EmptyCommandTailIsNotParsed) {
  windows.boxAnswers = {kIdNo};
  windows.commandLine = L"C:\\Setup\\bootstrapper.exe -help";
  RunContext context(windows);
  EXPECT_EQ(RunInstallSequence(context, L""), 0u);
  EXPECT_EQ(windows.boxes.at(0).text, L"Установить Сталвер ЭЦП Browser plug-in?");
}

TEST_F(InstallSequenceTest, NoToTheQuestionEndsWithZeroBeforeAnythingRuns) {
  windows.boxAnswers = {kIdNo};
  EXPECT_EQ(RunBootstrapper(windows, L""), 0u);
  EXPECT_EQ(windows.boxes.size(), 1u);
  EXPECT_TRUE(windows.children.empty());
  windows.boxes.clear();
  windows.boxAnswers = {kIdNo};
  EXPECT_EQ(RunBootstrapper(windows, L"-csp"), 0u);
  EXPECT_EQ(windows.boxes.at(0).text, L"Установить Сталвер CSP и Browser plug-in?");
  EXPECT_EQ(windows.boxes.at(0).caption, kCspCaption);
  EXPECT_TRUE(windows.children.empty());
}

TEST_F(InstallSequenceTest, SelectDlgWithoutCspAsksThePluginQuestion) {
  windows.boxAnswers = {kIdNo};
  RunBootstrapper(windows, L"-selectDlg");
  EXPECT_EQ(windows.boxes.at(0).text, L"Установить Сталвер ЭЦП Browser plug-in?");
  EXPECT_EQ(windows.dialog.timesShown, 0);
}

struct RefusalCase {
  const char* name;
  bool administrator;
  Dword minor;
  Word servicePack;
  const wchar_t* arguments;
  Dword exitCode;
  const wchar_t* text;
  const wchar_t* caption;
};

TEST_F(InstallSequenceTest, RefusalsEndTheRunBeforeTheQuestion) {
  const wchar_t kAdmin[] = L"Программа должна быть запущена от имени администратора.";
  const wchar_t k2000[] = L"Для установки продукта на Windows 2000 требуется пакет обновлений SP4.";
  const wchar_t kXp[] = L"Для установки продукта на Windows XP требуется пакет обновлений SP2.";
  const wchar_t k2003[] = L"Для установки продукта на Windows 2003 требуется пакет обновлений SP1.";
  const RefusalCase cases[] = {
      {"not administrator", false, 0, 0, L"", 1, kAdmin, kPluginCaption},
      {"not administrator, csp", false, 0, 0, L"-csp", 1, kAdmin, kCspCaption},
      {"not administrator on XP SP1", false, 1, 1, L"", 1, kAdmin, kPluginCaption},
      {"not administrator, silent", false, 0, 0, L"-silent", 1, nullptr, nullptr},
      {"2000 SP3", true, 0, 3, L"", 3, k2000, kPluginCaption},
      {"XP SP1", true, 1, 1, L"", 4, kXp, kPluginCaption},
      {"XP SP1, csp", true, 1, 1, L"-csp", 4, kXp, kPluginCaption},
      {"XP SP0, silent", true, 1, 0, L"-silent", 4, nullptr, nullptr},
      {"2003 SP0", true, 2, 0, L"", 5, k2003, kPluginCaption},
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows machine;
    machine.administrator = c.administrator;
    machine.majorVersion = 5;
    machine.minorVersion = c.minor;
    machine.servicePackMajor = c.servicePack;
    EXPECT_EQ(RunBootstrapper(machine, c.arguments), c.exitCode) << c.name;
    EXPECT_TRUE(machine.children.empty()) << c.name;
    EXPECT_NE(machine.msiInternalUiLevel, 2) << c.name;
    if (c.text == nullptr) {
      EXPECT_TRUE(machine.boxes.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(machine.boxes.size(), 1u) << c.name;
    EXPECT_EQ(machine.boxes[0].text, c.text) << c.name;
    EXPECT_EQ(machine.boxes[0].caption, c.caption) << c.name;
    EXPECT_EQ(machine.boxes[0].style, 0x50010u) << c.name;
    EXPECT_EQ(machine.boxes[0].owner, machine.ownerWindowHandle) << c.name;
  }
}

TEST_F(InstallSequenceTest, PluginCancelAndNewerVersionEndQuietly) {
  for (Dword code : {kErrorInstallUserExit, kErrorProductVersion}) {
    sim::SimulatedWindows machine;
    sim::AddPluginPackage(machine);
    sim::ScriptMsiexec(machine, code);
    machine.AddKey(kMarker);
    EXPECT_EQ(RunBootstrapper(machine, L""), code);
    EXPECT_EQ(machine.boxes.size(), 1u) << code;  // only the confirmation question
    EXPECT_TRUE(machine.KeyExists(kMarker)) << "a failed run does not look at the marker";
  }
}

TEST_F(InstallSequenceTest, FailureReportCarriesTheCodeAndTheLogWhenItExists) {
  sim::ScriptMsiexec(windows, kErrorInstallFailure);
  windows.boxAnswers = {kIdYes, kIdOk};
  EXPECT_EQ(RunBootstrapper(windows, L""), 1603u);
  ASSERT_EQ(windows.boxes.size(), 2u);
  EXPECT_EQ(windows.boxes[1].text,
            std::wstring(L"В процессе установки или обновления Сталвер ЭЦП Browser plug-in "
                         L"возникла ошибка: 1603.\nInstall log: ") +
                kLogPath);
  EXPECT_EQ(windows.boxes[1].caption, kPluginCaption);
  EXPECT_EQ(windows.boxes[1].style, 0x50010u);
}

// msiexec that cannot start leaves no log: the one made for it is removed again.
TEST_F(InstallSequenceTest, FailureReportLeavesOutAMissingLog) {
  windows.childBehaviours[sim::kMsiexec].startError = 1627;
  windows.boxAnswers = {kIdYes, kIdOk};
  EXPECT_EQ(RunBootstrapper(windows, L"-csp"), 1627u);
  EXPECT_EQ(windows.boxes.back().text,
            L"В процессе установки или обновления Сталвер ЭЦП Browser plug-in возникла ошибка: "
            L"1627.\n");
  EXPECT_EQ(windows.boxes.back().caption, kCspCaption);
  EXPECT_FALSE(windows.PathExists(kLogPath));
}

TEST_F(InstallSequenceTest, SilentFailureShowsNothingAndKeepsTheCode) {
  sim::ScriptMsiexec(windows, kErrorInstallFailure);
  EXPECT_EQ(RunBootstrapper(windows, L"-silent"), 1603u);
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(InstallSequenceTest, WithoutMarkerOrWithNoRestartTheRunEndsWithTheInstalledText) {
  windows.AddKey(kMarker);
  windows.boxAnswers = {kIdYes, kIdOk};
  EXPECT_EQ(RunBootstrapper(windows, L"-norestart"), 0u);
  EXPECT_TRUE(windows.KeyExists(kMarker));
  EXPECT_EQ(windows.boxes.back().text, kInstalled);
  EXPECT_TRUE(windows.exitWindowsCalls.empty());
  EXPECT_EQ(windows.openRegistryKeys(), 0);
}

TEST_F(InstallSequenceTest, MarkerIsLookedUpInThe32BitView) {
  RunBootstrapper(windows, L"-silent");
  auto open = std::find_if(windows.registryCalls.begin(), windows.registryCalls.end(),
                           [](const sim::RegistryCall& call) { return call.path == kMarker; });
  ASSERT_NE(open, windows.registryCalls.end());
  EXPECT_EQ(open->operation, L"open");
  EXPECT_EQ(open->access, 0x20219u);
  EXPECT_EQ(open->options, 0u);
}

TEST_F(InstallSequenceTest, AnsweringNoToRestartEndsWithZeroAndNoMarker) {
  windows.AddKey(kMarker);
  windows.boxAnswers = {kIdYes, kIdNo};
  EXPECT_EQ(RunBootstrapper(windows, L""), 0u);
  EXPECT_FALSE(windows.KeyExists(kMarker));
  ASSERT_EQ(windows.boxes.size(), 2u);
  EXPECT_EQ(windows.boxes[1].text, kRestartQuestion);
  EXPECT_EQ(windows.boxes[1].style, 0x50034u);
  EXPECT_GT(sim::FirstEventWith(windows, L"reg-delete:"),
            sim::FirstEventWith(windows,
                                L"box:" + std::wstring(kPluginCaption) + L":" + kRestartQuestion));
  EXPECT_TRUE(windows.exitWindowsCalls.empty());
}

TEST_F(InstallSequenceTest, RestartQuestionWithCspUsesItsOwnText) {
  windows.AddKey(kMarker);
  windows.boxAnswers = {kIdYes, kIdNo};
  RunBootstrapper(windows, L"-csp");
  EXPECT_EQ(windows.boxes.back().text,
            L"Сталвер ЭЦП Browser plug-in и CSP успешно установлены.\nДля корректной работы "
            L"Сталвер ЭЦП Browser plug-in и CSP необходимо перезагрузить компьютер.\nПроизвести "
            L"перезагрузку сейчас?");
  EXPECT_EQ(windows.boxes.back().caption, kCspCaption);
}

TEST_F(InstallSequenceTest, YesToRestartRestartsWindows) {
  windows.AddKey(kMarker);
  windows.boxAnswers = {kIdYes, kIdYes};
  EXPECT_EQ(RunBootstrapper(windows, L""), 0u);
  ASSERT_EQ(windows.exitWindowsCalls.size(), 1u);
  EXPECT_EQ(windows.exitWindowsCalls[0], std::make_pair(Dword{0x42}, Dword{0x80040002}));
  EXPECT_FALSE(windows.KeyExists(kMarker));
}

// The marker goes once Windows has accepted the restart, not before.
TEST_F(InstallSequenceTest, SilentRunRestartsWithoutAskingThenDeletesTheMarker) {
  windows.AddKey(kMarker);
  EXPECT_EQ(RunBootstrapper(windows, L"-silent"), 0u);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_FALSE(windows.KeyExists(kMarker));
  EXPECT_GT(sim::FirstEventWith(windows, L"reg-delete:"),
            sim::FirstEventWith(windows, L"exit-windows:"));
}

// A restart that Windows refuses is still pending: the marker stays for a later run.
TEST_F(InstallSequenceTest, FailedRestartReportsAndEndsWithSeven) {
  windows.AddKey(kMarker);
  windows.holdsShutdownPrivilege = false;
  windows.boxAnswers = {kIdYes, kIdYes, kIdOk};
  EXPECT_EQ(RunBootstrapper(windows, L""), 7u);
  ASSERT_EQ(windows.boxes.size(), 3u);
  EXPECT_EQ(windows.boxes[2].text, kRestartFailed);
  EXPECT_EQ(windows.boxes[2].style, 0x50000u);
  EXPECT_TRUE(windows.exitWindowsCalls.empty());
  EXPECT_TRUE(windows.KeyExists(kMarker));

  sim::SimulatedWindows silentMachine;
  sim::AddPluginPackage(silentMachine);
  silentMachine.AddKey(kMarker);
  silentMachine.exitWindowsError = 5;
  EXPECT_EQ(RunBootstrapper(silentMachine, L"-silent"), 7u);
  EXPECT_TRUE(silentMachine.boxes.empty());
  EXPECT_TRUE(silentMachine.KeyExists(kMarker));

  sim::SimulatedWindows systemMachine;  // a deployment tool's run as SYSTEM in session 0
  sim::AddPluginPackage(systemMachine);
  systemMachine.AddKey(kMarker);
  systemMachine.tokenUserSid = L"S-1-5-18";
  systemMachine.tokenSessionId = 0;
  systemMachine.initiateShutdownResult = 5;
  EXPECT_EQ(RunBootstrapper(systemMachine, L"-silent"), 7u);
  EXPECT_TRUE(systemMachine.boxes.empty());
  EXPECT_TRUE(systemMachine.exitWindowsCalls.empty());
  std::vector<std::wstring> restartRequests;
  std::copy_if(systemMachine.events.begin(), systemMachine.events.end(),
               std::back_inserter(restartRequests),
               [](const std::wstring& event) { return event.rfind(L"initiate", 0) == 0; });
  EXPECT_EQ(restartRequests, std::vector<std::wstring>{L"initiate-shutdown:0,4,2147745794"});
  EXPECT_TRUE(systemMachine.KeyExists(kMarker));
}

TEST_F(InstallSequenceTest, MarkerDeletionPicksTheLoadedRegistryApi) {
  struct Case {
    bool apiSetLoaded;
    const wchar_t* operation;
  } cases[] = {{true, L"delete-ex"}, {false, L"delete"}};
  for (const auto& c : cases) {
    sim::SimulatedWindows machine;
    sim::AddPluginPackage(machine);
    machine.AddKey(kMarker);
    machine.localRegistryModuleLoaded = c.apiSetLoaded;
    RunBootstrapper(machine, L"-silent");
    auto deletion = std::find_if(
        machine.registryCalls.begin(), machine.registryCalls.end(),
        [](const sim::RegistryCall& call) { return call.operation.compare(0, 6, L"delete") == 0; });
    ASSERT_NE(deletion, machine.registryCalls.end());
    EXPECT_EQ(deletion->operation, c.operation);
    EXPECT_EQ(deletion->path, kMarker);
    EXPECT_EQ(deletion->access, 0u);
    EXPECT_EQ(deletion->options, 0u);  // Reserved
    EXPECT_FALSE(machine.KeyExists(kMarker));
    auto parent =
        std::find_if(machine.registryCalls.begin(), machine.registryCalls.end(),
                     [](const sim::RegistryCall& call) { return call.path == L"Software"; });
    ASSERT_NE(parent, machine.registryCalls.end());
    EXPECT_EQ(parent->access, 0x2021Fu);
    EXPECT_EQ(machine.librariesLoaded.empty(), c.apiSetLoaded);
  }
}

TEST_F(InstallSequenceTest, UndeletableMarkerStillLeadsToTheQuestion) {
  windows.AddKey(kMarker);
  windows.AddKey(std::wstring(kMarker) + L"\\Child");  // a key with subkeys cannot be deleted
  windows.boxAnswers = {kIdYes, kIdNo};
  EXPECT_EQ(RunBootstrapper(windows, L""), 0u);
  EXPECT_EQ(windows.boxes.back().text, kRestartQuestion);
}

TEST_F(InstallSequenceTest, ScriptRunsThroughWscriptBeforeThePlugin) {
  windows.childBehaviours[L"C:\\Windows\\System32\\wscript.exe"].startError = 2;
  EXPECT_EQ(RunBootstrapper(windows, L"-silent -vbscript \"C:\\my scripts\\a.vbs\" -vbscript /x"),
            0u);
  ASSERT_EQ(windows.children.size(), 2u);
  EXPECT_EQ(windows.children[0].commandLine,
            L"C:\\Windows\\System32\\wscript.exe C:\\my scripts\\a.vbs/x");
  EXPECT_NE(windows.children[1].commandLine.find(L"msiexec.exe"), std::wstring::npos);
}

// What deploy.cmd runs: msiexec gets /qn and no /qb, so nothing waits for an answer.
TEST_F(InstallSequenceTest, TheDeploymentCommandLineGivesMsiexecNoUserInterface) {
  EXPECT_EQ(RunBootstrapper(windows, L"-silent -norestart -QuorlArgs /qn"), 0u);
  ASSERT_EQ(windows.children.size(), 1u);
  EXPECT_EQ(windows.children[0].commandLine,
            L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-x64.msi\" /Lv! \"" +
                std::wstring(kLogPath) + L"\" REBOOT=R  ADDNPQUORL=1 /qn ");
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(InstallSequenceTest, ScriptIsSkippedWithoutAWindowsDirectory) {
  windows.windowsDirectory.clear();
  EXPECT_EQ(RunBootstrapper(windows, L"-silent -vbscript a.vbs"), 0u);
  ASSERT_EQ(windows.children.size(), 1u);
  EXPECT_TRUE(MsiexecRan());
}

TEST_F(InstallSequenceTest, ScriptFailureDoesNotFailTheRun) {
  windows.childBehaviours[L"C:\\Windows\\System32\\wscript.exe"].exitCode = 1;
  EXPECT_EQ(RunBootstrapper(windows, L"-silent -vbscript missing.vbs"), 0u);
  EXPECT_TRUE(MsiexecRan());
}

// -uninstall where someone sees: message 156, every product of the family removed (each msiexec
// /x drops the family from the list, as Wine does: the run has listed it first), and the
// install's end with texts of removal.
struct SeenBox {
  const wchar_t* text;
  const wchar_t* caption;
  Dword style;
};

struct SeenRun {
  const char* name;
  const wchar_t* arguments;
  Dword msiexecCode;
  Dword exitCode;
  std::size_t removals;
  const SeenBox* last;  // after 156
};

TEST_F(InstallSequenceTest, SeenRemovals) {
  const std::wstring log = std::wstring(L"C:\\Temp\\quorlcom-uninstall_") + sim::kOtherProductCode +
                           L"_2027-03-01-09-05-03.log";
  const std::wstring failed =
      L"В процессе удаления Сталвер ЭЦП Browser plug-in возникла ошибка: 1603.\nInstall log: " +
      log;
  const SeenBox ask = {L"Удалить Сталвер ЭЦП Browser plug-in?", kPluginCaption, 0x50004};
  const SeenBox removed = {L"Сталвер ЭЦП Browser plug-in удалён.", kPluginCaption, 0x50000};
  const SeenBox restart = {
      L"Сталвер ЭЦП Browser plug-in удалён.\nДля завершения удаления "
      L"необходимо перезагрузить компьютер.\nПроизвести перезагрузку сейчас?",
      kPluginCaption, 0x50034};
  const SeenBox failure = {failed.c_str(), kPluginCaption, 0x50010};
  const wchar_t* const remove = L"-uninstall -QuorlArgs X=1";
  const SeenRun cases[] = {
      {"1605, gone already, counts as removed", remove, 1605, 0, 2, &removed},
      {"a restart asked: 158, then the restart", remove, 3010, 0, 2, &restart},
      {"a failure stops the removals: 157 with its log", remove, 1603, 1603, 1, &failure},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimulatedWindows machine;
    sim::AddPluginPackage(machine, L"3.0.0.0");
    sim::ScriptMsiexec(machine, c.msiexecCode);
    sim::AddInstalledPlugin(machine, sim::kOtherProductCode, L"1.0");
    sim::AddInstalledPlugin(machine, sim::kNewProductCode, L"2.0");
    machine.childBehaviours[sim::kMsiexec].effect = [&machine] { machine.products.clear(); };
    EXPECT_EQ(RunBootstrapper(machine, c.arguments), c.exitCode);
    const SeenBox* expected[] = {&ask, c.last};
    ASSERT_EQ(machine.boxes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(machine.boxes[i].text + L"|" + machine.boxes[i].caption,
                expected[i]->text + (L"|" + std::wstring(expected[i]->caption)));
      EXPECT_EQ(machine.boxes[i].style, expected[i]->style);
    }
    ASSERT_EQ(machine.children.size(), c.removals);
    for (std::size_t i = 0; i < c.removals; ++i) {
      const std::wstring code = i == 0 ? sim::kOtherProductCode : sim::kNewProductCode;
      EXPECT_EQ(machine.children[i].commandLine,
                L"\"C:\\Windows\\system32\\msiexec.exe\" /x \"" + code +
                    L"\" /Lv! \"C:\\Temp\\quorlcom-uninstall_" + code +
                    L"_2027-03-01-09-05-03.log\" REBOOT=R  /qb X=1 ");
    }
  }
}

// Unattended machines: what nobody can see, the restart marker's age, the restarts that
// Windows refuses, the waits for other installations. Every row ends by itself, restarts
// nothing and holds no mutex at its end.
struct UnattendedCase {
  const char* name;
  std::function<void(sim::SimulatedWindows&)> arrange;
  const wchar_t* arguments;
  Dword exitCode;
  std::size_t msiexecStarts;
  bool markerAfter;
  std::size_t boxes;
  const wchar_t* event;  // within one of the events (a child's start: its command line)
  const char* logged;    // in the run's log
  const wchar_t* runLog = L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03.log";
};

TEST_F(InstallSequenceTest, UnattendedMachines) {
  using W = sim::SimulatedWindows;
  const std::uint64_t second = 10000000;  // FILETIME units
  const std::uint64_t day = 86400 * second;
  const std::uint64_t in2020 = (1577836800 + 11644473600) * 10000000;  // 2020-01-01
  const wchar_t kRunMutex[] = L"Global\\StalverBrowserPluginBootstrapper";
  const wchar_t kInstaller[] = L"Global\\_MSIExecute";
  // As SYSTEM in session 0 with a restart pending: InitiateShutdownW refuses with `error`.
  auto refusedAsSystem = [](Dword error) {
    return [error](W& w) {
      w.tokenUserSid = L"S-1-5-18", w.tokenSessionId = 0, w.initiateShutdownResult = error;
      w.AddKey(kMarker);
    };
  };
  const UnattendedCase cases[] = {
      {"station not visible: as -silent, no msiexec interface", [](W& w) { w.stationFlags = 0; },
       L"", 0, 1, false, 0, L"REBOOT=R  /qn ADDNPQUORL=1", "desktop: nobody can see"},
      {"nobody can see: the user's /qb becomes /qn, a URL holding /q is no option",
       [](W& w) { w.stationFlags = 0; },
       L"-QuorlArgs /qb -QuorlArgs SERVERURL=https://ca/quorl/enroll", 0, 1, false, 0,
       L"REBOOT=R  ADDNPQUORL=1 /qn  SERVERURL=https://ca/quorl/enroll ",
       "option /qb replaced by /qn"},
      {"nobody can see: the script in batch mode, its secret kept out of the log",
       [](W& w) { w.stationFlags = 0; }, L"-vbscript \"C:\\s.vbs /password:x\"", 0, 1, false, 0,
       L"System32\\wscript.exe //B //NoLogo C:\\s.vbs /password:x",
       "wscript.exe //B //NoLogo C:\\s.vbs /password:***"},
      {"session 0 from Vista on", [](W& w) { w.sessionId = 0, w.majorVersion = 6; }, L"", 0, 1,
       false, 0, L" /qn ", "session 0, where no user works"},
      {"session 0 of the XP console is seen",
       [](W& w) {
         w.sessionId = 0, w.majorVersion = 5, w.minorVersion = 1, w.servicePackMajor = 3;
         w.boxAnswers = {kIdYes, kIdOk};
       },
       L"", 0, 1, false, 2, L" /qb ", "desktop: visible"},
      {"station of unknown visibility: nobody is taken to see",
       [](W& w) { w.stationFlagsRead = false; }, L"", 0, 1, false, 0, L" /qn ",
       "unknown visibility (error 5), counted as not visible"},
      {"help due where nobody can see", [](W& w) { w.stationFlags = 0; }, L"-silent -Reinstall",
       1639, 0, false, 0, nullptr, "argument not recognised: -Reinstall"},
      {"marker from before the machine's start, -norestart or not",
       [](W& w) { w.AddKey(kMarker, in2020); }, L"-silent", 0, 1, false, 0,
       L"reg-delete:Software\\NeedBstrReboot", "written 2020-01-01 00:00:00 UTC, before"},
      {"marker since the start, 60 days up (GetTickCount has wrapped)",
       [](W& w) {
         w.tickCount64 = 60 * 86400000ull;
         w.AddKey(kMarker, w.FileTimeNow() - 40 * day);
       },
       L"-silent -norestart", 0, 1, true, 0, nullptr, "a restart is pending"},
      {"marker of unknown age",
       [](W& w) {
         w.missingProcedures = {"GetTickCount64"}, w.ntQuerySystemStatus = -1073741822;
         w.AddKey(kMarker, in2020);
       },
       L"-silent -norestart", 0, 1, true, 0, nullptr, "found, of unknown age: kept"},
      // The marker was written 5 minutes ago, before the clock stepped an hour forward: by
      // the clocks it is older than the machine's start, 700 s ago.
      {"marker with its witness, the clock stepped since",
       [&](W& w) {
         w.AddKey(kMarker, w.FileTimeNow() - (3600 + 300) * second);
         w.AddKey(kWitnessParent + w.tokenUserSid);
       },
       L"-silent -norestart", 0, 1, true, 0, nullptr, "(volatile): present: a restart is pending"},
      {"another account's witness vouches for nothing",
       [&](W& w) {
         w.AddKey(kMarker, w.FileTimeNow() - (3600 + 300) * second);
         w.AddKey(kWitnessParent + std::wstring(L"S-1-5-18"));
       },
       L"-silent -norestart", 0, 1, false, 0, L"reg-delete:Software\\NeedBstrReboot",
       "(volatile): absent: the marker's age decides"},
      {"before Vista the kernel tells the start",
       [](W& w) {
         w.majorVersion = 5, w.minorVersion = 1, w.servicePackMajor = 3;
         w.missingProcedures = {"GetTickCount64"};
         w.AddKey(kMarker, in2020);
       },
       L"-silent", 0, 1, false, 0, L"nt-query-system:3,32", nullptr},
      {"another run holds the mutex for 100 s",
       [&](W& w) {
         w.mutexes[kRunMutex] = {false, true, w.tickCount + 100000, false};
       },
       L"-silent", 0, 1, false, 0,
       L"create-mutex:Global\\StalverBrowserPluginBootstrapper,D:(A;;GA;;;SY)(A;;GA;;;BA),1",
       "mutex Global\\StalverBrowserPluginBootstrapper): free after 100000 ms"},
      {"another account's run made the mutex, refusing this one all but SYNCHRONIZE",
       [&](W& w) { w.mutexes[kRunMutex] = {false, true, w.tickCount + 50000, false, true, false}; },
       L"-silent", 0, 1, false, 0, L"take-mutex:Global\\StalverBrowserPluginBootstrapper",
       "Bootstrapper): could not be made (error 5), opened to wait on"},
      {"a mutex that refuses SYNCHRONIZE too: the run goes on without it",
       [&](W& w) { w.mutexes[kRunMutex] = {false, true, kInfinite, false, true, true}; },
       L"-silent", 0, 1, false, 0, nullptr, "Bootstrapper): not waited for (error 5)"},
      {"another run outlasts the wait: 1618, reported",
       [&](W& w) {
         w.mutexes[kRunMutex].heldByOther = true;
         w.boxAnswers = {kIdYes, kIdOk};
       },
       L"", 1618, 0, false, 2, nullptr, "still busy: the time for waiting is spent after 300000"},
      {"Windows Installer busy for 8 s",
       [&](W& w) {
         w.mutexes[kInstaller] = {false, true, w.tickCount + 8000, true};
       },
       L"-silent", 0, 1, false, 0, L"open-mutex:Global\\_MSIExecute,1048576",
       "(mutex Global\\_MSIExecute): free (its owner ended without giving it back) after 8000"},
      {"Windows Installer busy for 8 s, then given back",
       [&](W& w) {
         w.mutexes[kInstaller] = {false, true, w.tickCount + 8000, false};
       },
       L"-silent", 0, 1, false, 0, nullptr, "(mutex Global\\_MSIExecute): free after 8000 ms"},
      {"both waits share the budget",
       [&](W& w) {
         w.mutexes[kRunMutex] = {false, true, w.tickCount + 200000, false};
         w.mutexes[kInstaller] = {false, true, w.tickCount + 350000, false};
       },
       L"-silent", 1618, 0, false, 0, nullptr, "Global\\_MSIExecute), at most 100000 ms"},
      {"msiexec meets another installation when the time for waiting is spent",
       [&](W& w) {
         w.mutexes[kRunMutex] = {false, true, w.tickCount + 297000, false};
         w.childBehaviours[sim::kMsiexec].firstExitCodes = {1618};
       },
       L"-silent", 1618, 1, false, 0, nullptr, "1618), and the time for waiting is spent)"},
      {"msiexec meets another installation once",
       [](W& w) { w.childBehaviours[sim::kMsiexec].firstExitCodes = {1618}; }, L"-silent", 0, 2,
       false, 0, nullptr, "decision: start msiexec again"},
      {"as SYSTEM with a user logged on, Windows postpones the restart", refusedAsSystem(1191),
       L"-silent", 3010, 1, true, 0, L"initiate-shutdown:0,4,2147745794",
       "decision: end the run with 3010, the restart pending"},
      {"a shutdown scheduled: after Yes, no box 111",
       [&](W& w) {
         refusedAsSystem(1190)(w), w.boxAnswers = {kIdYes, kIdYes};
       },
       L"", 3010, 1, true, 2, nullptr, "Windows refused the restart: error 1190"},
      {"Windows already shutting down", refusedAsSystem(1115), L"-silent", 0, 1, true, 0, nullptr,
       "decision: end the run, a restart under way"},
      {"another refusal", refusedAsSystem(5), L"-silent", 7, 1, true, 0, nullptr,
       "box 111 suppressed by -silent"},
      {"Windows 10 on ARM64 runs no x64 code: the win32 package",
       [](W& w) {
         w.nativeMachine = kImageFileMachineArm64,
         w.missingProcedures = {"GetMachineTypeAttributes"};
         sim::AddPluginPackageFile(w, L"C:\\Setup\\quorlcom-win32.msi");
       },
       L"-silent", 0, 1, false, 0, L"/i \"C:\\Setup\\quorlcom-win32.msi\"",
       "native machine: 0xAA64, package: win32"},
      {"-uninstall where nobody can see: /qn, every product of the family, no box",
       [](W& w) {
         w.stationFlags = 0;
         sim::AddInstalledPlugin(w, sim::kOtherProductCode, L"1.0");
       },
       L"-uninstall", 0, 1, false, 0, L"REBOOT=R  /qn", "box 159 suppressed by -silent"},
      {"-uninstall beside -csp", [](W& w) { w.stationFlags = 0; }, L"-csp -uninstall", 1639, 0,
       false, 0, nullptr, "show the help (-uninstall with -csp, -selectDlg, -reinstall or"},
      // Every log in the -log folder, made where missing, taken from the current folder.
      {"-log relative", [](W&) {}, L"-csp -silent -log logs\\new\\", 0, 1, false, 0,
       L"csp\\Setup.exe -args \"/qb /Lv! \"\"\"C:\\Setup\\logs\\new\\csp_2027-03-01-09-05-03.log",
       "0 log folder: C:\\Setup\\logs\\new\r\n",
       L"C:\\Setup\\logs\\new\\bootstrapper_2027-03-01-09-05-03.log"},
      // The command line is judged first: no folder is made, the run's log stays in TMP.
      {"-log beside a wrong argument", [](W& w) { w.stationFlags = 0; }, L"-log C:\\L -bogus", 1639,
       0, false, 0, nullptr, "argument not recognised: -bogus"},
      {"the CSP's Setup.exe asks for a restart",
       [](W& w) { w.childBehaviours[L"C:\\Setup\\csp\\Setup.exe"].exitCode = 3010; },
       L"-csp -silent -norestart", 0, 1, true, 0, L"csp\\Setup.exe -args \"/qb", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimulatedWindows machine;
    sim::AddPluginPackage(machine);
    c.arrange(machine);
    EXPECT_EQ(RunBootstrapper(machine, c.arguments), c.exitCode);
    EXPECT_EQ(sim::EventsWith(machine, L"run:\"" + std::wstring(sim::kMsiexec)).size(),
              c.msiexecStarts);
    EXPECT_EQ(machine.KeyExists(kMarker), c.markerAfter);
    EXPECT_EQ(machine.boxes.size(), c.boxes);
    if (c.event != nullptr) {
      EXPECT_TRUE(std::any_of(
          machine.events.begin(), machine.events.end(),
          [&](const std::wstring& event) { return event.find(c.event) != std::wstring::npos; }));
    }
    if (c.logged != nullptr) {
      const auto& log = machine.fileContents.at(c.runLog);
      EXPECT_NE(log.find(c.logged), std::string::npos);
    }
    EXPECT_TRUE(sim::EventsWith(machine, L"msiexec-met-").empty());
    EXPECT_TRUE(machine.exitWindowsCalls.empty());
    for (const auto& [name, mutex] : machine.mutexes) EXPECT_FALSE(mutex.heldByProgram);
  }
}

}  // namespace
}  // namespace boot
