// wait/: waiting for other installations: one run at a time, Windows Installer busy, and the
// budget those waits share.
// Windows Installer runs one installation at a time and holds the mutex Global\_MSIExecute
// while it does (Windows Update at start-up, another deployment). msiexec started meanwhile
// ends with 1618, or shows a box about it.
#pragma once

#include "run/run_context.h"

namespace boot {

// Waits, within the run's wait budget, while another installation holds Windows Installer's
// mutex. Returns 0 when it is free (or cannot be asked), 1618 when the budget ran out.
Dword WaitWhileInstallerBusy(RunContext& context);

// msiexec ended with 1618: pauses, then waits as above. True when it may be tried again.
bool ReadyToTryInstallAgain(RunContext& context);

}  // namespace boot
