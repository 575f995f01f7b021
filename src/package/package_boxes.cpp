#include "package/package_boxes.h"

#include "driver/box_styles.h"
#include "resources/message_catalogue.h"

namespace boot {

void ReportPackageError(RunContext& context, bool silent, WindowHandle owner, Word message) {
  if (silent) return;
  context.os.MessageBox(owner, LoadMessage(context, message),
                        LoadMessage(context, msg::kErrorCaption), kErrorBox);
}

int ShowUpdateBox(RunContext& context, WindowHandle owner, const std::wstring& text, Dword style) {
  return context.os.MessageBox(owner, text, LoadMessage(context, msg::kUpdateCaption), style);
}

}  // namespace boot
