// wait/: waiting for other installations: one run at a time, Windows Installer busy, and the
// budget those waits share.
// Waits for other installations, bounded by what is left of the run's wait budget
// (RunContext::waitBudget) and logged.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Takes `mutex`, waiting while `holder` (its name in the log) holds it, at most for what is
// left of the budget. Returns WAIT_OBJECT_0 or WAIT_ABANDONED_0 when taken, WAIT_TIMEOUT when
// the budget ran out, WAIT_FAILED when it cannot be waited for.
Dword TakeMutexWithinBudget(RunContext& context, KernelHandle mutex, const std::wstring& holder);

// Lets `milliseconds` pass, answering messages; false, at once, when less is left.
bool PauseWithinBudget(RunContext& context, Dword milliseconds);

}  // namespace boot
