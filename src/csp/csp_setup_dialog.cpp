#include "csp/csp_setup_dialog.h"

namespace boot {

// Stand-in until the dialog arrives.
void ShowCspSetupDialog(RunContext&) {}

}  // namespace boot
