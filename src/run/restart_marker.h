// The pending-restart marker: made by the plug-in step when msiexec asks for a restart,
// consumed at the end of a successful run.
#pragma once

#include "run/run_context.h"

namespace boot {

// HKEY_CURRENT_USER\Software\NeedBstrReboot: while it exists, a restart is pending.
bool RestartMarkerPresent(RunContext& context);
void CreateRestartMarker(RunContext& context);
// Deletes the marker; every failure is ignored.
void DeleteRestartMarker(RunContext& context);

}  // namespace boot
