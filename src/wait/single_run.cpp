#include "wait/single_run.h"

#include "run/exit_codes.h"
#include "wait/bounded_wait.h"

namespace boot {
namespace {

// SYSTEM and the administrators may wait on it and take it: a mutex that SYSTEM made with
// the default DACL could refuse an elevated administrator, and the other way round.
const wchar_t kRunMutexAccess[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

// Another account's run may have made the mutex with an access list that refuses this one
// the full access CreateMutexW asks for; waiting on it takes SYNCHRONIZE alone.
KernelHandle OpenToWaitOn(RunContext& context, const std::wstring& holder, Dword createError) {
  context.log.MutexNotMade(holder, createError);
  const KernelHandle mutex = context.os.OpenMutex(kSynchronize, kRunMutexName);
  if (mutex == 0) context.log.NotWaitedFor(holder, context.os.GetLastError());
  return mutex;
}

}  // namespace

Dword TakeRunMutex(RunContext& context) {
  const std::wstring anotherRun =
      std::wstring(L"another run of this program (mutex ") + kRunMutexName + L")";
  KernelHandle mutex = context.os.CreateMutex(kRunMutexAccess, true, kRunMutexName);
  const Dword created = context.os.GetLastError();
  // A mutex that existed before is not given to its creator's second caller.
  const bool ownedAtOnce = mutex != 0 && created != kErrorAlreadyExists;
  if (mutex == 0) mutex = OpenToWaitOn(context, anotherRun, created);
  if (mutex == 0) return kErrorSuccess;
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
