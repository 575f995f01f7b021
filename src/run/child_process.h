// Running one command line as a child process and waiting for it to end.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

struct ChildResult {
  bool started = false;
  Dword code = 0;  // the exit code when started, else the error of the failed start
};

// Starts the command line without a window and waits for it without a time limit, taking
// the messages that reach the thread while it waits.
ChildResult RunChild(RunContext& context, const std::wstring& commandLine);

// The child's exit code, or the error of the failed start; callers cannot tell them apart.
Dword RunAndWait(RunContext& context, const std::wstring& commandLine);

}  // namespace boot
