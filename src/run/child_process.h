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

// How a child starts, beyond its command line.
struct ChildStart {
  // That file is started, and no search is made for the command line's first token.
  std::wstring applicationName;
  std::wstring currentDirectory;  // empty: the program's own
  // What the run's log shows (built by the caller from masked parts); empty: the command
  // line with its secret values masked.
  std::wstring shownCommandLine;
};

// Starts the command line without a window and waits for it without a time limit, taking
// the messages that reach the thread while it waits.
ChildResult RunChild(RunContext& context, const std::wstring& commandLine,
                     const ChildStart& start = {});

// The child's exit code, or the error that kept it unknown; callers cannot tell them apart.
Dword RunAndWait(RunContext& context, const std::wstring& commandLine);

}  // namespace boot
