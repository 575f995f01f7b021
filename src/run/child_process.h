// Running one command line as a child process and waiting for it to end.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

struct ChildResult {
  bool started = false;
  bool exited = false;  // it was waited for and its exit code read
  Dword code = 0;       // the exit code when exited, else the Windows error that kept it unknown
};

// Starts the command line without a window and waits for it without a time limit, taking
// the messages that reach the thread while it waits. With an application name, that file
// is started and no search is made for the command line's first token. The run's log shows
// `shownCommandLine` when it is given (built by the caller from masked parts), else the
// command line with its secret values masked.
ChildResult RunChild(RunContext& context, const std::wstring& commandLine,
                     const std::wstring& applicationName = L"",
                     const std::wstring& shownCommandLine = L"");

// The child's exit code, or the error that kept it unknown; callers cannot tell them apart.
Dword RunAndWait(RunContext& context, const std::wstring& commandLine);

}  // namespace boot
