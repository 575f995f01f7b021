// restart/: the pending restart: its marker, the machine's start, and the restart itself.
// The pending-restart marker: made when msiexec or the CSP's Setup.exe asks for a restart,
// consumed at the end of a successful run, and dropped at the start of a run once the
// machine has restarted since it was made. Each marker has a witness, a volatile key of the
// account's in HKEY_LOCAL_MACHINE that Windows drops when it starts, made and deleted with it.
#pragma once

#include <cstdint>

#include "run/run_context.h"

namespace boot {

// 3010, 3011 and 1641: the installation is done and asks for a restart.
bool IsRestartRequest(Dword exitCode);

// HKEY_CURRENT_USER\Software\NeedBstrReboot: while it exists, a restart is pending.
bool RestartMarkerPresent(RunContext& context);
void CreateRestartMarker(RunContext& context);
// Deletes the marker, and its witness once the marker is gone; every failure is ignored.
void DeleteRestartMarker(RunContext& context);

// Both FILETIMEs (UTC). A minute of tolerance covers the clock's correction at start-up.
bool WrittenBeforeMachineStart(std::uint64_t written, std::uint64_t machineStart);

// Deletes a marker written before the machine's current start: the restart it asked for has
// happened. A marker with its witness is pending, whatever the clocks say: they may have been
// stepped since it was written. Without one (a marker of an earlier release, or a witness
// that could not be made), the marker's age decides; a marker whose age cannot be told is kept.
void RemoveStaleRestartMarker(RunContext& context);

}  // namespace boot
