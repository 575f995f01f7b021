#include "run/error_box.h"

#include "run/box_styles.h"
#include "run/message_box.h"
#include "run/messages.h"

namespace boot {

void ReportPackageError(RunContext& context, bool silent, WindowHandle owner, Word message) {
  ShowBox(context, silent, owner, message, LoadMessage(context, message),
          LoadMessage(context, msg::kErrorCaption), kErrorBox);
}

}  // namespace boot
