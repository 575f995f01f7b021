#include "package/package_boxes.h"

#include "run/messages.h"

namespace boot {

int ShowUpdateBox(RunContext& context, WindowHandle owner, const std::wstring& text, Dword style) {
  return context.os.MessageBox(owner, text, LoadMessage(context, msg::kUpdateCaption), style);
}

}  // namespace boot
