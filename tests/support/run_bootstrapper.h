// Runs the whole bootstrapper against the simulated Windows, as if started with `arguments`.
#pragma once

#include <string>

#include "support/simulated_windows.h"

namespace boot::sim {

// The exit code of the run, also when the run ends the process from inside (help,
// cancelled dialog, declined upgrade).
Dword RunBootstrapper(SimulatedWindows& windows, const std::wstring& arguments);

// The plug-in package for 64-bit Windows beside the bootstrapper, as a fresh install finds it.
constexpr const wchar_t* kPackagePath = L"C:\\Setup\\quorlcom-x64.msi";
constexpr const wchar_t* kMsiexec = L"C:\\Windows\\system32\\msiexec.exe";
void AddPluginPackage(SimulatedWindows& windows, const std::wstring& version = L"2.0.0.0",
                      const std::wstring& productCode = L"{11111111-2222-3333-4444-555555555555}");
// msiexec ends with this code; an effect may change the simulated machine meanwhile.
void ScriptMsiexec(SimulatedWindows& windows, Dword exitCode);

}  // namespace boot::sim
