#include "run/child_process.h"

#include <vector>

#include "log/secret_values.h"
#include "run/message_wait.h"

namespace boot {
namespace {

// Windows sets the error of every failed call; the handle is what a wait or an exit-code
// query can fail on should it not.
Dword LastErrorOfChild(RunContext& context) {
  const Dword error = context.os.GetLastError();
  return error != kErrorSuccess ? error : kErrorInvalidHandle;
}

}  // namespace

ChildResult RunChild(RunContext& context, const std::wstring& commandLine,
                     const ChildStart& start) {
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  ProcessInformation process;
  context.log.ChildStarting(start.shownCommandLine.empty() ? MaskSecretValues(commandLine)
                                                           : start.shownCommandLine);
  Dword started = context.log.Now();
  if (!context.os.CreateProcess(start.applicationName, &writable, kCreateNoWindow,
                                start.currentDirectory, &process)) {
    Dword error = context.os.GetLastError();
    context.log.ChildNotStarted(error);
    return ChildResult{false, false, error};
  }
  // A code that cannot be read is never taken for one: the Windows error stands in its place.
  Dword exitCode = 0;
  const bool exited = WaitAnsweringMessages(context, process.process, kInfinite) != kWaitFailed &&
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
