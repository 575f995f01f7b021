// The message boxes of the plug-in installation: errors carry the caption "Ошибка" (the
// error box of both package steps), the questions and notices about versions the caption
// "Обновление".
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Shows `text` under the update caption with `style`; returns the button pressed.
int ShowUpdateBox(RunContext& context, WindowHandle owner, const std::wstring& text, Dword style);

}  // namespace boot
