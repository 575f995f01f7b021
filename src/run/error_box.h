// The error box of the package installations (plug-in and CSP): a catalogue text under
// the caption "Ошибка".
#pragma once

#include "resources/message_ids.h"
#include "run/run_context.h"

namespace boot {

// Shows catalogue text `message` as an error box, unless silent.
void ReportPackageError(RunContext& context, bool silent, WindowHandle owner, Word message);

}  // namespace boot
