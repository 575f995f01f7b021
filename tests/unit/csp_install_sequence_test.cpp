#include <gtest/gtest.h>

#include <algorithm>

#include "csp_test_support.h"
#include "driver/install_sequence.h"

namespace boot {
namespace {

using csp_test::kCspCaption;
using csp_test::kFailureText;
using csp_test::kSetupProgram;

constexpr const wchar_t* kQuestion102 = L"Установить Сталвер CSP и Browser plug-in?";
constexpr const wchar_t* kWscript = L"C:\\Windows\\System32\\wscript.exe";

class CspInstallSequenceTest : public ::testing::Test {
 protected:
  // Runs the bootstrapper with `arguments`; the exit code, also when the run ended the
  // process from inside.
  Dword Run(const std::wstring& arguments) {
    windows.commandLine = L"C:\\Setup\\bootstrapper.exe " + arguments;
    try {
      return RunInstallSequence(context, arguments);
    } catch (const sim::SimulatedExit& exit) {
      return exit.exitCode;
    }
  }

  // The program of each child, in start order.
  std::vector<std::wstring> ChildPrograms() {
    std::vector<std::wstring> programs;
    for (const auto& child : windows.children) {
      programs.push_back(!child.applicationName.empty()
                             ? child.applicationName
                             : child.commandLine.substr(0, child.commandLine.find(L' ')));
    }
    return programs;
  }

  std::size_t EventIndex(const std::wstring& prefix) {
    auto found = std::find_if(windows.events.begin(), windows.events.end(),
                              [&](const std::wstring& e) { return e.rfind(prefix, 0) == 0; });
    return static_cast<std::size_t>(found - windows.events.begin());
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
};

TEST_F(CspInstallSequenceTest, QuestionThenDialogThenSetup) {
  windows.dialog.userActions = [](sim::SimulatedDialog& d) { d.Click(140); };
  Run(L"-csp -selectDlg");
  ASSERT_FALSE(windows.boxes.empty());
  EXPECT_EQ(windows.boxes[0].text, kQuestion102);
  EXPECT_EQ(windows.boxes[0].caption, kCspCaption);
  EXPECT_EQ(windows.boxes[0].style, 0x50004u);
  EXPECT_EQ(windows.dialog.timesShown, 1);
  EXPECT_EQ(windows.dialog.owner, 0u);  // the dialog has no owner, not even the hidden window
  std::size_t question = EventIndex(std::wstring(L"box:") + kCspCaption + L":" + kQuestion102);
  std::size_t dialog = EventIndex(L"dialog:141");
  std::size_t setup = EventIndex(L"run:csp\\Setup.exe ");
  EXPECT_LT(question, dialog);
  EXPECT_LT(dialog, setup);
  EXPECT_LT(setup, windows.events.size());
}

TEST_F(CspInstallSequenceTest, DialogOnlyWithSelectDlgAndNotSilent) {
  struct Case {
    const wchar_t* arguments;
    int timesShown;
    bool setupRuns;
  };
  const Case cases[] = {
      {L"-csp", 0, true},
      {L"-csp -selectDlg", 1, true},
      {L"-csp -selectDlg -silent", 0, true},
      {L"-silent -selectDlg -csp", 0, true},
      {L"-selectDlg", 0, false},
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    fresh.dialog.userActions = [](sim::SimulatedDialog& d) { d.Click(140); };
    fresh.commandLine = std::wstring(L"C:\\Setup\\bootstrapper.exe ") + c.arguments;
    RunInstallSequence(run, c.arguments);
    EXPECT_EQ(fresh.dialog.timesShown, c.timesShown) << c.arguments;
    bool setupRan = std::any_of(fresh.children.begin(), fresh.children.end(), [](const auto& ch) {
      return ch.commandLine.rfind(L"csp\\Setup.exe ", 0) == 0;
    });
    EXPECT_EQ(setupRan, c.setupRuns) << c.arguments;
  }
}

TEST_F(CspInstallSequenceTest, OptionsReachTheSetupCommandLine) {
  Run(L"-csp -CSPArgs /qn -CSPArgs X=1 -reinstall -silent");
  ASSERT_FALSE(windows.children.empty());
  EXPECT_EQ(
      windows.children[0].commandLine,
      LR"(csp\Setup.exe -args "/Lv! """C:\Temp\csp_2027-03-01-09-05-03.log""" /qn X=1 " -noreboot -root -silent -reinstall)");
}

TEST_F(CspInstallSequenceTest, CspFailureEndsTheRunBeforeTheScriptAndThePlugin) {
  windows.childBehaviours[kSetupProgram].exitCode = 1603;
  EXPECT_EQ(Run(L"-csp -vbscript C:\\s.vbs"), 1603u);
  EXPECT_EQ(ChildPrograms(), std::vector<std::wstring>{kSetupProgram});
  ASSERT_EQ(windows.boxes.size(), 2u);
  EXPECT_EQ(windows.boxes[1].text,
            std::wstring(kFailureText) + L": 1603.\nInstall log: " + csp_test::kLogPath);
  EXPECT_EQ(windows.boxes[1].caption, kCspCaption);
  EXPECT_EQ(windows.boxes[1].style, 0x50010u);
  EXPECT_EQ(windows.boxes[1].owner, windows.ownerWindowHandle);
}

TEST_F(CspInstallSequenceTest, MissingCspFolderIsAFailureNotSuccess) {
  windows.childBehaviours[kSetupProgram].startError = kErrorPathNotFound;
  EXPECT_EQ(Run(L"-csp -vbscript C:\\s.vbs"), 2u);
  EXPECT_EQ(ChildPrograms(), std::vector<std::wstring>{kSetupProgram});
  ASSERT_EQ(windows.boxes.size(), 2u);
  EXPECT_EQ(windows.boxes[1].text, std::wstring(kFailureText) + L": 2.\n");
  EXPECT_EQ(windows.boxes[1].caption, kCspCaption);
}

TEST_F(CspInstallSequenceTest, SilentCspFailureEndsTheRunWithoutBoxes) {
  windows.childBehaviours[kSetupProgram].startError = kErrorFileNotFound;
  EXPECT_EQ(Run(L"-csp -silent -vbscript C:\\s.vbs"), 2u);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_EQ(ChildPrograms(), std::vector<std::wstring>{kSetupProgram});
}

TEST_F(CspInstallSequenceTest, HarmlessSetupExitCodesLetTheRunGoOn) {
  for (Dword code : {0u, 3u, 4u, 1602u}) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    fresh.childBehaviours[kSetupProgram].exitCode = code;
    const std::wstring arguments = L"-csp -silent -vbscript C:\\s.vbs";
    fresh.commandLine = L"C:\\Setup\\bootstrapper.exe " + arguments;
    RunInstallSequence(run, arguments);
    ASSERT_GE(fresh.children.size(), 2u) << code;
    EXPECT_EQ(fresh.children[0].commandLine.rfind(L"csp\\Setup.exe ", 0), 0u) << code;
    EXPECT_EQ(fresh.children[1].commandLine, std::wstring(kWscript) + L" C:\\s.vbs") << code;
  }
}

TEST_F(CspInstallSequenceTest, CancelInTheDialogEndsTheRunBeforeSetup) {
  windows.dialog.userActions = [](sim::SimulatedDialog& d) { d.PressEscape(); };
  EXPECT_EQ(Run(L"-csp -selectDlg"), 0u);
  EXPECT_TRUE(windows.children.empty());
  EXPECT_EQ(windows.boxes.size(), 1u);  // only the question
}

TEST_F(CspInstallSequenceTest, NoToTheQuestionShowsNoDialogAndStartsNothing) {
  windows.boxAnswers = {kIdNo};
  EXPECT_EQ(Run(L"-csp -selectDlg"), 0u);
  EXPECT_EQ(windows.dialog.timesShown, 0);
  EXPECT_TRUE(windows.children.empty());
}

TEST_F(CspInstallSequenceTest, DialogChoicesFollowTheCommandLinePatterns) {
  windows.uiLanguage = 0x0409;
  windows.dialog.userActions = [](sim::SimulatedDialog& d) {
    d.Click(1015);
    d.Click(1009);
    d.Click(140);
  };
  Run(L"-csp -KC 3 -Lang ru -selectDlg");
  EXPECT_EQ(context.kcPattern, L"*3*kc2*");
  EXPECT_EQ(context.langPattern, L"*ru*eng*");
}

}  // namespace
}  // namespace boot
