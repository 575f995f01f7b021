#include "run/child_process.h"

#include <vector>

namespace boot {
namespace {

// Sent messages (a broadcast with SendMessage waits for every top-level window, the hidden
// owner window among them) and posted ones (taken, so that they cannot wake the wait again).
// QS_ALLINPUT is not used: Windows 2000 rejects the QS_RAWINPUT bit in it.
constexpr Dword kChildWaitWakeMask = kQsSendMessage | kQsPostMessage;

void DispatchWaitingMessages(RunContext& context) {
  // PeekMessageW also delivers the messages sent to this thread's windows.
  WindowMessage message;
  while (context.os.PeekMessage(&message, 0, 0, 0, kPmRemove)) {
    context.os.DispatchMessage(message);
  }
}

// Returns once the process has ended, answering the thread's messages meanwhile; false when
// no wait could be made.
bool WaitAnsweringMessages(RunContext& context, KernelHandle process) {
  const std::vector<KernelHandle> handles{process};
  for (;;) {
    const Dword woke =
        context.os.MsgWaitForMultipleObjects(handles, false, kInfinite, kChildWaitWakeMask);
    if (woke == kWaitObject0 + handles.size()) {
      DispatchWaitingMessages(context);
      continue;
    }
    if (woke != kWaitFailed) return true;
    // A wait that cannot be made still waits, without messages, rather than leaving early.
    return context.os.WaitForSingleObject(process, kInfinite) != kWaitFailed;
  }
}

// Windows sets the error of every failed call; the handle is what a wait or an exit-code
// query can fail on should it not.
Dword LastErrorOfChild(RunContext& context) {
  const Dword error = context.os.GetLastError();
  return error != kErrorSuccess ? error : kErrorInvalidHandle;
}

}  // namespace

ChildResult RunChild(RunContext& context, const std::wstring& commandLine,
                     const std::wstring& applicationName) {
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  ProcessInformation process;
  context.log.ChildStarting(commandLine);
  Dword started = context.log.Now();
  if (!context.os.CreateProcess(applicationName, &writable, kCreateNoWindow, &process)) {
    Dword error = context.os.GetLastError();
    context.log.ChildNotStarted(error);
    return ChildResult{false, false, error};
  }
  // A code that cannot be read is never taken for one: the Windows error stands in its place.
  Dword exitCode = 0;
  const bool exited = WaitAnsweringMessages(context, process.process) &&
                      context.os.GetExitCodeProcess(process.process, &exitCode);
  if (exited) {
    context.log.ChildEnded(exitCode, context.log.Now() - started);
  } else {
    exitCode = LastErrorOfChild(context);
    context.log.ChildExitUnknown(exitCode);
  }
  context.os.CloseHandle(process.process);
  context.os.CloseHandle(process.thread);
  return ChildResult{true, exited, exitCode};
}

Dword RunAndWait(RunContext& context, const std::wstring& commandLine) {
  return RunChild(context, commandLine).code;
}

}  // namespace boot
