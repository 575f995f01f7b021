// What the CSPSetup dialog does with each message: defaults on opening, the switch between
// the welcome view and the options view, recording the choices on "Далее", and ending the
// whole run on cancel.
#pragma once

#include "run/run_context.h"

namespace boot {

class CspSetupDialogHandler : public DialogHandler {
 public:
  explicit CspSetupDialogHandler(RunContext& context) : context_(context) {}

  bool OnMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                 std::intptr_t lParam) override;

 private:
  bool OnInitDialog(WindowHandle dialog);
  bool OnCommand(WindowHandle dialog, int controlId);
  void OnDestroy();
  void CancelRun(WindowHandle dialog);  // does not return
  void RecordChoices(WindowHandle dialog);
  void ToggleOptions(WindowHandle dialog);

  RunContext& context_;
  IconHandle icon_ = 0;
};

}  // namespace boot
