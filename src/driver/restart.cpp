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
  if (!enabled) return false;
  Dword major = 0;
  Dword minor = 0;
  context.os.RtlGetNtVersionNumbers(&major, &minor, nullptr);
  Dword flags = major >= 6 ? kEwxReboot | kEwxRestartApps : kEwxReboot;
  return context.os.ExitWindowsEx(flags, kShtdnReasonMajorApplication);
}

}  // namespace boot
