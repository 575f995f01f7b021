#include "wait/installer_busy.h"

#include "run/exit_codes.h"
#include "wait/bounded_wait.h"

namespace boot {
namespace {

const wchar_t kInstallerMutex[] = L"Global\\_MSIExecute";
const wchar_t kInstallerBusy[] =
    L"another installation by Windows Installer (mutex Global\\_MSIExecute)";
// msiexec met an installation that began after the mutex was free: give it a moment.
constexpr Dword kPauseBeforeTryingAgain = 5000;

}  // namespace

Dword WaitWhileInstallerBusy(RunContext& context) {
  // Opened to wait on only. A wait that succeeds makes the program the mutex's owner, so it
  // is given back at once: Windows Installer takes it for every installation, and msiexec
  // started while the program held it would end with 1618.
  const KernelHandle mutex = context.os.OpenMutex(kSynchronize, kInstallerMutex);
  if (mutex == 0) {
    const Dword error = context.os.GetLastError();
    if (error != kErrorFileNotFound) context.log.NotWaitedFor(kInstallerBusy, error);
    return kErrorSuccess;
  }
  const Dword taken = TakeMutexWithinBudget(context, mutex, kInstallerBusy);
  if (taken == kWaitObject0 || taken == kWaitAbandoned0) context.os.ReleaseMutex(mutex);
  context.os.CloseHandle(mutex);
  return taken == kWaitTimeout ? kExitInstallationInProgress : kErrorSuccess;
}

bool ReadyToTryInstallAgain(RunContext& context) {
  if (!PauseWithinBudget(context, kPauseBeforeTryingAgain)) {
    context.log.Decision("end the run",
                         "msiexec found another installation in progress "
                         "(1618), and the time for waiting is spent");
    return false;
  }
  context.log.Decision("start msiexec again", "it found another installation in progress (1618)");
  return WaitWhileInstallerBusy(context) == kErrorSuccess;
}

}  // namespace boot
