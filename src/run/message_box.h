// Every message box of a run goes through here, so that the run log records each one.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Shows `text` (catalogue message `messageId`) and returns the answer. When `silent`, shows
// nothing and returns `silentAnswer`, the answer the run takes in its place.
int ShowBox(RunContext& context, bool silent, WindowHandle owner, Word messageId,
            const std::wstring& text, const std::wstring& caption, Dword style,
            int silentAnswer = kIdOk);

}  // namespace boot
