#include "wait/single_run.h"

#include "run/exit_codes.h"
#include "wait/bounded_wait.h"

namespace boot {
namespace {

// SYSTEM and the administrators may wait on it and take it: a mutex that SYSTEM made with
// the default DACL could refuse an elevated administrator, and the other way round.
const wchar_t kRunMutexAccess[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

}  // namespace

Dword TakeRunMutex(RunContext& context) {
  const std::wstring anotherRun =
      std::wstring(L"another run of this program (mutex ") + kRunMutexName + L")";
  const KernelHandle mutex = context.os.CreateMutex(kRunMutexAccess, true, kRunMutexName);
  if (mutex == 0) {
    context.log.NotWaitedFor(anotherRun, context.os.GetLastError());
    return kErrorSuccess;
  }
  // A mutex that existed before is not given to its creator's second caller.
  const bool ownedAtOnce = context.os.GetLastError() != kErrorAlreadyExists;
  const Dword taken =
      ownedAtOnce ? kWaitObject0 : TakeMutexWithinBudget(context, mutex, anotherRun);
  if (taken == kWaitObject0 || taken == kWaitAbandoned0) {
    context.runMutex = mutex;
    return kErrorSuccess;
  }
  context.os.CloseHandle(mutex);
  return taken == kWaitTimeout ? kExitInstallationInProgress : kErrorSuccess;
}

void ReleaseRunMutex(RunContext& context) {
  if (context.runMutex == 0) return;
  context.os.ReleaseMutex(context.runMutex);
  context.os.CloseHandle(context.runMutex);
  context.runMutex = 0;
}

}  // namespace boot
