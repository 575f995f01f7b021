// Waiting on the program's one thread without leaving the messages that reach it unanswered:
// a broadcast sent with SendMessage (WM_SETTINGCHANGE from an installer's custom action, say)
// waits for every top-level window, the hidden owner window among them.
#pragma once

#include "run/run_context.h"

namespace boot {

// Waits until `handle` is signalled or `milliseconds` have passed (kInfinite: no limit),
// answering the thread's messages meanwhile; with no handle (0) only the time passes.
// Returns as WaitForSingleObject does: WAIT_OBJECT_0, WAIT_ABANDONED_0 (a mutex whose owner
// ended), WAIT_TIMEOUT or WAIT_FAILED.
Dword WaitAnsweringMessages(RunContext& context, KernelHandle handle, Dword milliseconds);

}  // namespace boot
