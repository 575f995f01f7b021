// The message boxes of the plug-in installation: errors carry the caption "Ошибка", the
// questions and notices about versions the caption "Обновление".
#pragma once

#include <string>

#include "driver/run_context.h"
#include "resources/message_ids.h"

namespace boot {

// Shows catalogue text `message` as an error box, unless silent.
void ReportPackageError(RunContext& context, bool silent, WindowHandle owner, Word message);

// Shows `text` under the update caption with `style`; returns the button pressed.
int ShowUpdateBox(RunContext& context, WindowHandle owner, const std::wstring& text, Dword style);

}  // namespace boot
