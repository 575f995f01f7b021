// The message boxes of the plug-in installation: errors carry the caption "Ошибка" (the
// error box of both package steps), the questions and notices about versions the caption
// "Обновление".
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Shows `text` (catalogue message `messageId`) under the update caption with `style`;
// returns the button pressed, or Yes without a box when silent.
int ShowUpdateBox(RunContext& context, bool silent, WindowHandle owner, Word messageId,
                  const std::wstring& text, Dword style);

}  // namespace boot
