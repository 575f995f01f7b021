// The pending-restart marker and the restart of Windows.
#pragma once

#include "driver/run_context.h"

namespace boot {

// HKEY_CURRENT_USER\Software\NeedBstrReboot: while it exists, a restart is pending.
bool RestartMarkerPresent(RunContext& context);
void CreateRestartMarker(RunContext& context);
// Deletes the marker; every failure is ignored.
void DeleteRestartMarker(RunContext& context);

// Asks Windows to restart; true when the request was accepted.
bool RestartComputer(RunContext& context);

}  // namespace boot
