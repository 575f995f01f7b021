// Naming the verbose install logs that msiexec and the CSP's Setup.exe write, by one rule.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// The user's Windows Installer options already name a log: they hold "/l" or "/L" anywhere
// (case-sensitive). No log is named for them then.
bool NamesOwnLog(const std::wstring& arguments);

// logPath becomes %TMP%\<baseName>_<time stamp>.log; returns 0. When TMP cannot be read,
// shows message 144 unless silent, leaves logPath as it was and returns the system error.
Dword MakeLogPath(RunContext& context, bool silent, const std::wstring& baseName,
                  std::wstring& logPath);

// The local time as YYYY-MM-DD-HH-MM-SS, also written as a line to standard output.
std::wstring LogTimestamp(RunContext& context);

// The same time stamp, not written anywhere.
std::wstring LocalTimestamp(RunContext& context);

// The folder named by TMP; 0, or the error that leaves it unnamed (203 for an empty TMP).
Dword ReadTmpFolder(RunContext& context, std::wstring* folder);

// The characters after the last backslash, or the whole path when it has none.
std::wstring FileNameOf(const std::wstring& path);

}  // namespace boot
