#include "run/child_process.h"

#include <gtest/gtest.h>

#include "restart/restart_computer.h"
#include "restart/restart_marker.h"
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

// A child whose end or exit code cannot be read gives the Windows error, never its initial 0
// or the 259 (STILL_ACTIVE) of a process that was not waited for.
TEST_F(ChildProcessTest, AnUnreadableExitCodeIsTheWindowsError) {
  windows.msgWaitFails = true;
  windows.childBehaviours[L"tool.exe"].exitCodeError = 5;
  windows.childBehaviours[L"late.exe"].waitError = 6;
  for (const auto& [program, error] : {std::pair{L"tool.exe", 5u}, {L"late.exe", 6u}}) {
    const ChildResult result = RunChild(context, program);
    EXPECT_TRUE(result.started && !result.exited);
    EXPECT_EQ(result.code, error);
  }
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

constexpr wchar_t kUserSid[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr wchar_t kLocalSystem[] = L"S-1-5-18";
constexpr wchar_t kNetworkService[] = L"S-1-5-20";

// Who runs the program, on which release, and the one request that restarts Windows, always
// with the reason of a planned restart for an installation (0x80040002).
struct RestartCase {
  const char* context;
  const wchar_t* sid;  // nullptr: the token cannot be read
  Dword session;
  Dword major;
  const char* missingProcedure;  // nullptr: every function is there
  const wchar_t* request;
};

const RestartCase kRestartCases[] = {
    {"user, Windows 10", kUserSid, 1, 10, nullptr, L"exit-windows:66,2147745794"},
    {"user, Vista", kUserSid, 2, 6, nullptr, L"exit-windows:66,2147745794"},
    {"user at the XP console (session 0)", kUserSid, 0, 5, nullptr, L"exit-windows:2,2147745794"},
    {"unreadable token", nullptr, 0, 10, nullptr, L"exit-windows:66,2147745794"},
    {"LocalSystem, Windows 10", kLocalSystem, 0, 10, nullptr, L"initiate-shutdown:0,4,2147745794"},
    {"LocalSystem in a user's session", kLocalSystem, 1, 10, nullptr,
     L"initiate-shutdown:0,4,2147745794"},
    {"service account in session 0", kNetworkService, 0, 6, nullptr,
     L"initiate-shutdown:0,4,2147745794"},
    {"LocalSystem, XP", kLocalSystem, 0, 5, nullptr, L"initiate-system-shutdown:0,0,1,2147745794"},
    {"LocalSystem, no InitiateShutdownW", kLocalSystem, 0, 10, "InitiateShutdownW",
     L"initiate-system-shutdown:0,0,1,2147745794"},
    {"LocalSystem, Windows 2000", kLocalSystem, 0, 5, "InitiateSystemShutdownExW",
     L"exit-windows:2,2147745794"},
};

TEST_F(ChildProcessTest, RestartRequestFollowsTheAccountSessionAndRelease) {
  for (const auto& c : kRestartCases) {
    SCOPED_TRACE(c.context);
    sim::SimulatedWindows machine;
    machine.tokenInformationFails = c.sid == nullptr;
    if (c.sid) machine.tokenUserSid = c.sid;
    machine.tokenSessionId = c.session;
    machine.majorVersion = c.major;
    if (c.missingProcedure) machine.missingProcedures.insert(c.missingProcedure);
    RunContext run(machine);
    Dword error = 1;
    EXPECT_TRUE(RestartComputer(run, &error));
    const std::vector<std::wstring> expected = {L"open-token:40",
                                                L"token-user",
                                                L"token-session",
                                                L"lookup-privilege:SeShutdownPrivilege",
                                                L"adjust-privilege:19,2",
                                                L"close-handle",
                                                c.request};
    EXPECT_EQ(machine.events, expected);
    EXPECT_EQ(machine.openKernelHandles(), 0);
  }
}

TEST_F(ChildProcessTest, TheSystemCallsResultsMapToTrueAndFalse) {
  Dword error = 0;
  windows.tokenUserSid = kLocalSystem;
  windows.initiateShutdownResult = 1115;  // ERROR_SHUTDOWN_IN_PROGRESS
  EXPECT_FALSE(RestartComputer(context, &error));
  EXPECT_EQ(error, 1115u);
  windows.initiateShutdownResult = 0;
  EXPECT_TRUE(RestartComputer(context, &error));
  windows.majorVersion = 5;
  windows.initiateSystemShutdownSucceeds = false;
  EXPECT_FALSE(RestartComputer(context, &error));
  windows.initiateSystemShutdownSucceeds = true;
  EXPECT_TRUE(RestartComputer(context, &error));
}

TEST_F(ChildProcessTest, RestartFailsWithoutThePrivilegeOrToken) {
  Dword error = 0;
  windows.tokenUserSid = kLocalSystem;
  windows.holdsShutdownPrivilege = false;
  EXPECT_FALSE(RestartComputer(context, &error));
  windows.holdsShutdownPrivilege = true;
  windows.tokenOpens = false;
  EXPECT_FALSE(RestartComputer(context, &error));
  for (const auto& event : windows.events) EXPECT_EQ(event.find(L"initiate"), std::wstring::npos);
  windows.tokenUserSid = kUserSid;
  EXPECT_TRUE(windows.exitWindowsCalls.empty());
  windows.tokenOpens = true;
  windows.exitWindowsError = 5;
  EXPECT_FALSE(RestartComputer(context, &error));
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
  // Its witness goes with it.
  const std::wstring witness = L"HKLM\\SOFTWARE\\StalverBrowserPluginPendingRestart\\";
  EXPECT_TRUE(windows.KeyExists(witness + kUserSid));
  DeleteRestartMarker(context);
  EXPECT_FALSE(windows.KeyExists(witness + kUserSid));
  EXPECT_EQ(windows.openRegistryKeys(), 0);
}

}  // namespace
}  // namespace boot
