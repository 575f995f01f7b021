// The CSPSetup dialog: go on with the CSP installation, or cancel the whole run, and
// behind "Опции" the language and security level of the CSP.
#pragma once

#include "run/run_context.h"

namespace boot {

// Shows the dialog modally; returns when "Далее" is pressed. Cancel ends the process with 0.
void ShowCspSetupDialog(RunContext& context);

}  // namespace boot
