#include <gtest/gtest.h>

#include "csp/install_csp.h"
#include "csp_test_support.h"

namespace boot {
namespace {

using csp_test::kCspCaption;
using csp_test::kFailureText;
using csp_test::kLogPath;
using csp_test::kSetupProgram;

constexpr WindowHandle kOwner = 0x2345;

// One error box owned by the hidden owner window, under the run's caption.
void ExpectOneFailureBox(const sim::SimulatedWindows& windows, const std::wstring& text) {
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].text, text);
  EXPECT_EQ(windows.boxes[0].caption, kCspCaption);
  EXPECT_EQ(windows.boxes[0].style, 0x50010u);
  EXPECT_EQ(windows.boxes[0].owner, kOwner);
}

std::wstring Report(Dword code) {
  return std::wstring(kFailureText) + L": " + std::to_wstring(code) + L".\n";
}

class CspInstallResultTest : public ::testing::Test {
 protected:
  CspInstallResultTest() { context.ownerWindow = kOwner; }

  Dword Install(bool silent, const std::wstring& cspArgs = L"") {
    return InstallCspPackage(context, silent, false, L"csp", cspArgs);
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
};

// A restart request (3010, 3011, 1641) means the CSP is installed: it becomes the restart
// marker, as msiexec's requests do, and the plug-in follows; after 1641, a restart that
// Setup.exe has started, nothing follows.
TEST_F(CspInstallResultTest, ExitCodesThatAreNoFailure) {
  for (bool silent : {false, true}) {
    for (Dword code : {0u, 3u, 4u, 1602u, 3010u, 3011u, 1641u}) {
      sim::SimulatedWindows fresh;
      RunContext run(fresh);
      fresh.childBehaviours[kSetupProgram].exitCode = code;
      EXPECT_EQ(InstallCspPackage(run, silent, false, L"csp", L""), code == 1641u ? code : 0u)
          << code;
      EXPECT_EQ(fresh.children.size(), 1u) << code;
      EXPECT_TRUE(fresh.boxes.empty()) << code;
      EXPECT_EQ(fresh.openKernelHandles(), 0) << code;
      EXPECT_EQ(fresh.KeyExists(L"Software\\NeedBstrReboot"), code > 1602u) << code;
    }
  }
}

// The log that the program made for Setup.exe is there whether or not Setup.exe wrote into it.
TEST_F(CspInstallResultTest, OtherExitCodesAreReportedAndReturned) {
  const std::wstring logLine = std::wstring(L"Install log: ") + kLogPath;
  for (Dword code : {1603u, 1u, 1618u, 0xFFFFFFFFu}) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    run.ownerWindow = kOwner;
    fresh.childBehaviours[kSetupProgram].exitCode = code;
    SCOPED_TRACE(code);
    EXPECT_EQ(InstallCspPackage(run, false, false, L"csp", L""), code);
    ExpectOneFailureBox(fresh, Report(code) + logLine);
  }
}

TEST_F(CspInstallResultTest, ReportComesAfterSetupHasEnded) {
  windows.childBehaviours[kSetupProgram].exitCode = 1603;
  EXPECT_EQ(Install(false), 1603u);
  ASSERT_GE(windows.events.size(), 2u);
  EXPECT_EQ(windows.events.back().rfind(L"box:", 0), 0u);
  EXPECT_EQ(windows.events[windows.events.size() - 2], L"close-handle");
}

TEST_F(CspInstallResultTest, SilentFailureShowsNothingAndKeepsTheCode) {
  windows.childBehaviours[kSetupProgram].exitCode = 1603;
  EXPECT_EQ(Install(true), 1603u);
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(CspInstallResultTest, OwnLogOptionLeavesTheReportWithoutALogLine) {
  windows.AddFile(L"C:\\x.log");
  windows.childBehaviours[kSetupProgram].exitCode = 1603;
  EXPECT_EQ(Install(false, L"/lv* C:\\x.log "), 1603u);
  ExpectOneFailureBox(windows, Report(1603));
}

// A Setup.exe that did not start, or whose exit code could not be read, is never success,
// even when the Windows error has the number of one of its harmless exit codes. A missing
// "csp" folder (3) is reported as a missing Setup.exe (2). The log made for a Setup.exe that
// never started is gone again; one that started may have written it.
TEST_F(CspInstallResultTest, StartFailuresAreFailuresWhateverTheirNumber) {
  struct Case {
    Dword startError;
    Dword exitCodeError;
    Dword reported;
  };
  const Case cases[] = {{2, 0, 2}, {3, 0, 2}, {4, 0, 4}, {1602, 0, 1602}, {0, 4, 4}, {0, 3, 3}};
  const std::wstring logLine = std::wstring(L"Install log: ") + kLogPath;
  for (const auto& c : cases) {
    sim::SimulatedWindows fresh;
    RunContext run(fresh);
    run.ownerWindow = kOwner;
    fresh.childBehaviours[kSetupProgram] = {c.startError, 0, {}, {}, 0, c.exitCodeError, {}};
    SCOPED_TRACE(c.startError + c.exitCodeError);
    EXPECT_EQ(InstallCspPackage(run, false, false, L"csp", L""), c.reported);
    ExpectOneFailureBox(fresh, Report(c.reported) + (c.startError == 0 ? logLine : L""));
    EXPECT_EQ(fresh.PathExists(kLogPath), c.startError == 0);
    EXPECT_EQ(fresh.openKernelHandles(), 0);
  }
}

TEST_F(CspInstallResultTest, SilentStartFailureReturnsTheErrorWithoutABox) {
  windows.childBehaviours[kSetupProgram].startError = 193;
  EXPECT_EQ(Install(true), 193u);
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(CspInstallResultTest, UnsetTmpStopsBeforeSetupStarts) {
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Install(false), 203u);
  EXPECT_TRUE(windows.children.empty());
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].text, L"Невозможно узнать значение переменной окружения.");
  EXPECT_EQ(windows.boxes[0].caption, L"Ошибка");
  EXPECT_EQ(windows.boxes[0].style, 0x50010u);
  EXPECT_EQ(windows.boxes[0].owner, kOwner);
}

TEST_F(CspInstallResultTest, EmptyTmpGives203WhateverTheLastErrorHeld) {
  windows.environment[L"TMP"] = L"";
  windows.lastError = 18;
  EXPECT_EQ(Install(false), 203u);
  EXPECT_TRUE(windows.children.empty());
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].text, L"Невозможно узнать значение переменной окружения.");
  windows.lastError = 18;
  EXPECT_EQ(Install(true), 203u);
  EXPECT_EQ(windows.boxes.size(), 1u);
}

TEST_F(CspInstallResultTest, UnsetTmpWhenSilentShowsNothing) {
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Install(true), 203u);
  EXPECT_TRUE(windows.children.empty());
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(CspInstallResultTest, UnsetTmpDoesNotMatterWhenTheOptionsNameTheirLog) {
  windows.environment.erase(L"TMP");
  EXPECT_EQ(Install(false, L"/l* C:\\x.log "), 0u);
  EXPECT_EQ(windows.children.size(), 1u);
  EXPECT_TRUE(windows.boxes.empty());
}

}  // namespace
}  // namespace boot
