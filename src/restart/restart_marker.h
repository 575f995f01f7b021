// restart/: the pending restart: its marker, the machine's start, and the restart itself.
// The pending-restart marker: made when msiexec or the CSP's Setup.exe asks for a restart,
// consumed at the end of a successful run, and dropped at the start of a run once the
// machine has restarted since it was made.
#pragma once

#include <cstdint>

#include "run/run_context.h"

namespace boot {

// 3010, 3011 and 1641: the installation is done and asks for a restart.
bool IsRestartRequest(Dword exitCode);

// HKEY_CURRENT_USER\Software\NeedBstrReboot: while it exists, a restart is pending.
bool RestartMarkerPresent(RunContext& context);
void CreateRestartMarker(RunContext& context);
// Deletes the marker; every failure is ignored.
void DeleteRestartMarker(RunContext& context);

// Both FILETIMEs (UTC). A minute of tolerance covers the clock's correction at start-up.
bool WrittenBeforeMachineStart(std::uint64_t written, std::uint64_t machineStart);

// Deletes a marker written before the machine's current start: the restart it asked for has
// happened. A marker whose age cannot be told is kept.
void RemoveStaleRestartMarker(RunContext& context);

}  // namespace boot
