// Whether anyone can see the run's windows. Deployment tools run the program as SYSTEM in
// session 0, on a window station that is not visible: a box there waits for an answer that
// never comes, and the deployment hangs until the engine gives up.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

struct DesktopFacts {
  bool stationFlagsRead = false;
  Dword stationFlags = 0;  // USEROBJECTFLAGS.dwFlags of the process's window station
  Dword stationError = 0;  // why they could not be read
  bool sessionRead = false;
  Dword sessionId = 0;
  Dword majorVersion = 0;  // of Windows
};

// Nobody can see on a window station without WSF_VISIBLE, or in session 0 from Windows Vista
// on (before Vista, session 0 is the console's). A fact that cannot be read counts as nobody
// seeing: a box that nobody answers would hang the run, while a person who started it has
// asked for what a silent run does.
bool StationHidden(const DesktopFacts& facts);
bool InSessionZero(const DesktopFacts& facts);

// Reads the facts, judges, logs the verdict and records it in the context.
void DecideVisibility(RunContext& context);

}  // namespace boot
