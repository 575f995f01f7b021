#include "csp/csp_setup_dialog.h"

#include "csp/csp_setup_dialog_handler.h"
#include "resources/resource_ids.h"

namespace boot {

void ShowCspSetupDialog(RunContext& context) {
  CspSetupDialogHandler handler(context);
  // The dialog has no owner; what it returns is not needed.
  context.os.DialogBoxParam(IDD_CSP_SETUP, 0, &handler, 0);
}

}  // namespace boot
