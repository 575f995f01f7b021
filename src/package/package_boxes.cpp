#include "package/package_boxes.h"

#include "run/message_box.h"
#include "run/messages.h"

namespace boot {

int ShowUpdateBox(RunContext& context, bool silent, WindowHandle owner, Word messageId,
                  const std::wstring& text, Dword style) {
  return ShowBox(context, silent, owner, messageId, text, LoadMessage(context, msg::kUpdateCaption),
                 style, kIdYes);
}

}  // namespace boot
