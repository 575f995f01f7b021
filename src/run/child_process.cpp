#include "run/child_process.h"

#include <vector>

#include "run/message_wait.h"

namespace boot {

ChildResult RunChild(RunContext& context, const std::wstring& commandLine) {
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  ProcessInformation process;
  context.log.ChildStarting(commandLine);
  Dword started = context.log.Now();
  if (!context.os.CreateProcess(&writable, kCreateNoWindow, &process)) {
    Dword error = context.os.GetLastError();
    context.log.ChildNotStarted(error);
    return ChildResult{false, error};
  }
  WaitAnsweringMessages(context, process.process, kInfinite);
  Dword exitCode = 0;
  context.os.GetExitCodeProcess(process.process, &exitCode);
  context.log.ChildEnded(exitCode, context.log.Now() - started);
  context.os.CloseHandle(process.process);
  context.os.CloseHandle(process.thread);
  return ChildResult{true, exitCode};
}

Dword RunAndWait(RunContext& context, const std::wstring& commandLine) {
  return RunChild(context, commandLine).code;
}

}  // namespace boot
