#include "support/run_bootstrapper.h"

#include "driver/install_sequence.h"

namespace boot::sim {

const wchar_t kUpgradeCode[] = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

Dword RunBootstrapper(SimulatedWindows& windows, const std::wstring& arguments) {
  windows.commandLine = L"\"C:\\Setup\\bootstrapper.exe\" " + arguments;
  RunContext context(windows);
  try {
    return RunInstallSequence(context, arguments);
  } catch (const SimulatedExit& exit) {
    return exit.exitCode;
  }
}

void AddPluginPackage(SimulatedWindows& windows, const std::wstring& version,
                      const std::wstring& productCode) {
  windows.AddFile(kPackagePath);
  windows.packages[kPackagePath].properties = {
      {L"ProductCode", productCode},
      {L"UpgradeCode", kUpgradeCode},
      {L"ProductName", L"Stalver Browser plug-in"},
      {L"ProductVersion", version},
  };
}

void ScriptMsiexec(SimulatedWindows& windows, Dword exitCode) {
  windows.childBehaviours[kMsiexec].exitCode = exitCode;
}

}  // namespace boot::sim
