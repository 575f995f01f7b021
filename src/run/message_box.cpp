#include "run/message_box.h"

namespace boot {

int ShowBox(RunContext& context, bool silent, WindowHandle owner, Word messageId,
            const std::wstring& text, const std::wstring& caption, Dword style, int silentAnswer) {
  if (silent) {
    context.log.BoxSuppressed(messageId, text, silentAnswer);
    return silentAnswer;
  }
  int answer = context.os.MessageBox(owner, text, caption, style);
  context.log.BoxShown(messageId, text, answer);
  return answer;
}

}  // namespace boot
