// The restart of Windows once an installation has asked for it.
#pragma once

#include "run/run_context.h"

namespace boot {

// Asks Windows to restart; true when the request was accepted.
bool RestartComputer(RunContext& context);

}  // namespace boot
