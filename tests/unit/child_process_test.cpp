#include "run/child_process.h"

#include <gtest/gtest.h>

#include "driver/restart.h"
#include "run/restart_marker.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

class ChildProcessTest : public ::testing::Test {
 protected:
  sim::SimulatedWindows windows;
  RunContext context{windows};
};

TEST_F(ChildProcessTest, ReturnsTheExitCodeAfterWaitingWithoutLimit) {
  for (Dword code : {0u, 1603u, 3010u, 0xC0000005u}) {
    windows.childBehaviours[L"C:\\x\\tool.exe"].exitCode = code;
    EXPECT_EQ(RunAndWait(context, L"\"C:\\x\\tool.exe\" /a"), code);
  }
  EXPECT_EQ(windows.children.back().commandLine, L"\"C:\\x\\tool.exe\" /a");
  EXPECT_EQ(windows.children.back().creationFlags, 0x08000000u);
  // Waits for the one process handle, any time, woken by sent and posted messages.
  EXPECT_EQ(windows.events.at(1), L"msg-wait:1,0,4294967295,72");
  EXPECT_EQ(windows.openKernelHandles(), 0);
}

TEST_F(ChildProcessTest, MessagesThatArriveDuringTheWaitAreAnsweredAndTaken) {
  constexpr unsigned kWmSettingChange = 0x1A;
  constexpr unsigned kWmUser = 0x400;
  auto& broadcaster = windows.childBehaviours[L"setup.exe"];
  broadcaster.exitCode = 3010;
  broadcaster.messages = {{kWmSettingChange, true}, {kWmUser, false}, {kWmSettingChange, true}};
  EXPECT_EQ(RunAndWait(context, L"setup.exe"), 3010u);
  const std::vector<std::wstring> expected = {L"run:setup.exe",  L"msg-wait:1,0,4294967295,72",
                                              L"peek:0,0,0,1",   L"answer-sent:26",
                                              L"answer-sent:26", L"dispatch:1024",
                                              L"peek:0,0,0,1",   L"msg-wait:1,0,4294967295,72",
                                              L"close-handle",   L"close-handle"};
  EXPECT_EQ(windows.events, expected);
  EXPECT_EQ(windows.openKernelHandles(), 0);
}

TEST_F(ChildProcessTest, AWaitThatCannotTakeMessagesStillWaitsForTheChild) {
  windows.msgWaitFails = true;
  windows.childBehaviours[L"tool.exe"].exitCode = 1603;
  EXPECT_EQ(RunAndWait(context, L"tool.exe"), 1603u);
  EXPECT_EQ(windows.events.at(1), L"msg-wait:1,0,4294967295,72");
  EXPECT_EQ(windows.events.at(2), L"wait:4294967295");
  EXPECT_EQ(windows.openKernelHandles(), 0);
}

TEST_F(ChildProcessTest, StartErrorIsReturnedWithoutWaiting) {
  windows.childBehaviours[L"missing.exe"].startError = 2;
  EXPECT_EQ(RunAndWait(context, L"missing.exe"), 2u);
  auto result = RunChild(context, L"missing.exe");
  EXPECT_FALSE(result.started);
  EXPECT_EQ(result.code, 2u);
  for (const auto& event : windows.events) EXPECT_EQ(event.find(L"wait:"), std::wstring::npos);
}

TEST_F(ChildProcessTest, RunChildTellsAnExitCodeFromAStartError) {
  windows.childBehaviours[L"tool.exe"].exitCode = 2;
  auto result = RunChild(context, L"tool.exe");
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.code, 2u);
}

struct RestartCase {
  Dword major;
  Dword flags;
};

TEST_F(ChildProcessTest, RestartFlagsFollowTheRelease) {
  for (const auto& c : {RestartCase{5, 0x2}, RestartCase{6, 0x42}, RestartCase{10, 0x42}}) {
    sim::SimulatedWindows machine;
    machine.majorVersion = c.major;
    RunContext run(machine);
    EXPECT_TRUE(RestartComputer(run));
    ASSERT_EQ(machine.exitWindowsCalls.size(), 1u);
    EXPECT_EQ(machine.exitWindowsCalls[0].first, c.flags);
    EXPECT_EQ(machine.exitWindowsCalls[0].second, 0x40000u);
    EXPECT_EQ(machine.events.at(0), L"open-token:40");
    EXPECT_EQ(machine.events.at(1), L"lookup-privilege:SeShutdownPrivilege");
    EXPECT_EQ(machine.events.at(2), L"adjust-privilege:19,2");
    EXPECT_EQ(machine.openKernelHandles(), 0);
  }
}

TEST_F(ChildProcessTest, RestartFailsWithoutThePrivilegeOrToken) {
  windows.holdsShutdownPrivilege = false;
  EXPECT_FALSE(RestartComputer(context));
  windows.holdsShutdownPrivilege = true;
  windows.tokenOpens = false;
  EXPECT_FALSE(RestartComputer(context));
  EXPECT_TRUE(windows.exitWindowsCalls.empty());
  windows.tokenOpens = true;
  windows.exitWindowsSucceeds = false;
  EXPECT_FALSE(RestartComputer(context));
  EXPECT_EQ(windows.exitWindowsCalls.size(), 1u);
}

TEST_F(ChildProcessTest, RestartMarkerIsAnEmptyKeyCreatedInThe32BitView) {
  EXPECT_FALSE(RestartMarkerPresent(context));
  CreateRestartMarker(context);
  EXPECT_TRUE(windows.KeyExists(L"Software\\NeedBstrReboot"));
  EXPECT_TRUE(RestartMarkerPresent(context));
  const auto& create = windows.registryCalls.at(1);
  EXPECT_EQ(create.operation, L"create");
  EXPECT_EQ(create.access, 0x2021Fu);
  EXPECT_EQ(create.options, 0u);
  EXPECT_EQ(windows.openRegistryKeys(), 0);
}

}  // namespace
}  // namespace boot
