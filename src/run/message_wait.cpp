#include "run/message_wait.h"

#include <vector>

namespace boot {
namespace {

// Sent messages, and posted ones (taken, so that they cannot wake the wait again).
// QS_ALLINPUT is not used: Windows 2000 rejects the QS_RAWINPUT bit in it.
constexpr Dword kWakeMask = kQsSendMessage | kQsPostMessage;

void DispatchWaitingMessages(RunContext& context) {
  // PeekMessageW also delivers the messages sent to this thread's windows.
  WindowMessage message;
  while (context.os.PeekMessage(&message, 0, 0, 0, kPmRemove)) {
    context.os.DispatchMessage(message);
  }
}

Dword Remaining(RunContext& context, Dword started, Dword milliseconds) {
  if (milliseconds == kInfinite) return kInfinite;
  const Dword elapsed = context.os.GetTickCount() - started;
  return elapsed >= milliseconds ? 0 : milliseconds - elapsed;
}

}  // namespace

Dword WaitAnsweringMessages(RunContext& context, KernelHandle handle, Dword milliseconds) {
  std::vector<KernelHandle> handles;
  if (handle != 0) handles.push_back(handle);
  const Dword started = context.os.GetTickCount();
  for (;;) {
    const Dword woke = context.os.MsgWaitForMultipleObjects(
        handles, false, Remaining(context, started, milliseconds), kWakeMask);
    if (woke == kWaitObject0 + handles.size()) {
      DispatchWaitingMessages(context);
      continue;
    }
    if (woke != kWaitFailed || handle == 0) return woke;
    // A wait that cannot be made still waits, without messages, rather than leaving early.
    return context.os.WaitForSingleObject(handle, Remaining(context, started, milliseconds));
  }
}

}  // namespace boot
