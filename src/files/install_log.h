// files/: the files a run works with: searching, hashing, the program's folder, install logs.
// Naming the verbose install logs that msiexec and the CSP's Setup.exe write, by one rule.
#pragma once

#include <string>

#include "run/child_process.h"
#include "run/run_context.h"

namespace boot {

// logPath becomes %TMP%\<baseName>_<time stamp>.log (in the folder of -log, when given);
// returns 0. When TMP cannot be read, shows message 144 unless silent, leaves logPath as it
// was and returns the system error.
Dword MakeLogPath(RunContext& context, bool silent, const std::wstring& baseName,
                  std::wstring& logPath);

// Makes the file at logPath before a child is told to write its log there, so that the
// child writes through a file of the program's own, never through one that someone else
// made under that predictable name: a name already taken is removed first. When no new
// file can be made, says why in the run's log and empties logPath: the child then gets no
// log option. Does nothing for an empty logPath.
void CreateInstallLog(RunContext& context, std::wstring& logPath);

// Removes the file that CreateInstallLog made for a child that did not start, so that no
// failure report names an empty log.
void RemoveUnusedInstallLog(RunContext& context, const std::wstring& logPath,
                            const ChildResult& child);

// The local time as YYYY-MM-DD-HH-MM-SS, also written as a line to standard output.
std::wstring LogTimestamp(RunContext& context);

// The same time stamp, not written anywhere.
std::wstring LocalTimestamp(RunContext& context);

// The folder named by TMP; 0, or the error that leaves it unnamed (203 for an empty TMP).
Dword ReadTmpFolder(RunContext& context, std::wstring* folder);

// The characters after the last backslash, or the whole path when it has none.
std::wstring FileNameOf(const std::wstring& path);

}  // namespace boot
