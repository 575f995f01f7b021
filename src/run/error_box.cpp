#include "run/error_box.h"

#include "run/box_styles.h"
#include "run/messages.h"

namespace boot {

void ReportPackageError(RunContext& context, bool silent, WindowHandle owner, Word message) {
  if (silent) return;
  context.os.MessageBox(owner, LoadMessage(context, message),
                        LoadMessage(context, msg::kErrorCaption), kErrorBox);
}

}  // namespace boot
