#include "restart/restart_computer.h"

#include "run/system_function.h"

namespace boot {
namespace {

constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";
constexpr Dword kFirstIsolatedSessionMajor = 6;  // Windows Vista: session 0 holds no user

RunningAccount ReadAccount(RunContext& context, KernelHandle token) {
  RunningAccount account;
  std::wstring sid;
  account.localSystem = context.os.GetTokenUserSid(token, &sid) && sid == kLocalSystemSid;
  account.sessionKnown = context.os.GetTokenSessionId(token, &account.sessionId);
  return account;
}

ProcAddress FindAdvapi32Function(RunContext& context, const char* name) {
  return FindLoadedFunction(context, L"advapi32.dll", name);
}

// Restart, no forcing, no delay, the same reason for every call. True when accepted; else
// `error` holds why not.
bool RequestRestart(RunContext& context, RestartCall call, Dword majorVersion, Dword* error) {
  if (call == RestartCall::kInitiateShutdown) {
    const ProcAddress initiateShutdown = FindAdvapi32Function(context, "InitiateShutdownW");
    if (initiateShutdown != 0) {
      *error = context.os.CallInitiateShutdown(initiateShutdown, 0, kShutdownRestart,
                                               kPlannedInstallationRestart);
      return *error == kErrorSuccess;
    }
    call = RestartCall::kInitiateSystemShutdownEx;
  }
  bool accepted = false;
  const ProcAddress initiateSystemShutdownEx =
      call == RestartCall::kInitiateSystemShutdownEx
          ? FindAdvapi32Function(context, "InitiateSystemShutdownExW")
          : 0;
  if (initiateSystemShutdownEx != 0) {
    accepted = context.os.CallInitiateSystemShutdownEx(initiateSystemShutdownEx, 0, false, true,
                                                       kPlannedInstallationRestart);
  } else {
    const Dword flags = majorVersion >= 6 ? kEwxReboot | kEwxRestartApps : kEwxReboot;
    accepted = context.os.ExitWindowsEx(flags, kPlannedInstallationRestart);
  }
  *error = accepted ? kErrorSuccess : context.os.GetLastError();
  return accepted;
}

// SeShutdownPrivilege in the program's token. AdjustTokenPrivileges also succeeds for a token
// without it, and then leaves ERROR_NOT_ALL_ASSIGNED as the last error.
bool EnableShutdownPrivilege(RunContext& context, KernelHandle token, Dword* error) {
  Luid shutdown;
  const bool adjusted = context.os.LookupPrivilegeValue(L"SeShutdownPrivilege", &shutdown) &&
                        context.os.AdjustTokenPrivileges(token, shutdown, kSePrivilegeEnabled);
  *error = context.os.GetLastError();
  return adjusted && *error == kErrorSuccess;
}

}  // namespace

RestartCall ChooseRestartCall(const RunningAccount& account, Dword majorVersion) {
  const bool isolatedSession =
      majorVersion >= kFirstIsolatedSessionMajor && account.sessionKnown && account.sessionId == 0;
  if (!account.localSystem && !isolatedSession) return RestartCall::kExitWindowsEx;
  return majorVersion >= kFirstIsolatedSessionMajor ? RestartCall::kInitiateShutdown
                                                    : RestartCall::kInitiateSystemShutdownEx;
}

bool RestartComputer(RunContext& context, Dword* error) {
  KernelHandle token = 0;
  *error = kErrorSuccess;
  if (!context.os.OpenProcessToken(kTokenAdjustPrivileges | kTokenQuery, &token)) {
    *error = context.os.GetLastError();
    context.log.RestartResult(false, *error);
    return false;
  }
  const RunningAccount account = ReadAccount(context, token);
  const bool enabled = EnableShutdownPrivilege(context, token, error);
  context.os.CloseHandle(token);
  if (!enabled) {
    context.log.Fact("restart", {"the shutdown privilege could not be enabled"});
    context.log.RestartResult(false, *error);
    return false;
  }
  Dword major = 0;
  Dword minor = 0;
  context.os.RtlGetNtVersionNumbers(&major, &minor, nullptr);
  // Windows may end this process before the call returns.
  context.log.RestartRequested();
  const bool accepted = RequestRestart(context, ChooseRestartCall(account, major), major, error);
  context.log.RestartResult(accepted, *error);
  return accepted;
}

RestartRefusal ReadRestartRefusal(Dword error) {
  switch (error) {
    case kErrorShutdownInProgress:
      return RestartRefusal::kAlreadyUnderWay;
    case kErrorShutdownUsersLoggedOn:
    case kErrorShutdownIsScheduled:
      return RestartRefusal::kPostponed;
  }
  return RestartRefusal::kFailed;
}

}  // namespace boot
