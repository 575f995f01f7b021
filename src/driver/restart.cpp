#include "driver/restart.h"

namespace boot {

bool RestartComputer(RunContext& context) {
  KernelHandle token = 0;
  if (!context.os.OpenProcessToken(kTokenAdjustPrivileges | kTokenQuery, &token)) return false;
  Luid shutdown;
  bool enabled = context.os.LookupPrivilegeValue(L"SeShutdownPrivilege", &shutdown) &&
                 context.os.AdjustTokenPrivileges(token, shutdown, kSePrivilegeEnabled) &&
                 context.os.GetLastError() == kErrorSuccess;
  context.os.CloseHandle(token);
  if (!enabled) {
    context.log.Fact(L"restart", L"the shutdown privilege could not be enabled");
    return false;
  }
  Dword major = 0;
  Dword minor = 0;
  context.os.RtlGetNtVersionNumbers(&major, &minor, nullptr);
  Dword flags = major >= 6 ? kEwxReboot | kEwxRestartApps : kEwxReboot;
  // Windows may end this process before ExitWindowsEx returns.
  context.log.RestartRequested();
  bool accepted = context.os.ExitWindowsEx(flags, kShtdnReasonMajorApplication);
  context.log.RestartResult(accepted);
  return accepted;
}

}  // namespace boot
