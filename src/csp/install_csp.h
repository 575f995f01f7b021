// Installing the cryptographic service provider through its own Setup.exe.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// The CSP distribution's folder beside the program.
constexpr wchar_t kCspFolder[] = L"csp";

// The Setup.exe that the CSP step starts: the one in `cspFolder` of the release's checked
// copy, else beside the program; never one that a search for the relative path of its command
// line would find. 0, or the error that leaves the program's folder unknown.
Dword CspSetupPath(RunContext& context, const std::wstring& cspFolder, std::wstring* path);

// The failure report of the CSP step: message 105 with the code and the log, unless silent.
void ReportCspFailure(RunContext& context, bool silent, Dword result, const std::wstring& logPath);

// Returns 0 to go on, else the result that ends the run: a failure, already reported, or
// 1641 when Setup.exe has started a restart (the marker made).
Dword InstallCspPackage(RunContext& context, bool silent, bool reinstall,
                        const std::wstring& cspFolder, std::wstring cspArgs);

}  // namespace boot
