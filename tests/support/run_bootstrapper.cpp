#include "support/run_bootstrapper.h"

#include "driver/install_sequence.h"
#include "support/plugin_machine.h"

namespace boot::sim {

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
  AddPluginPackageFile(windows, kPackagePath, version, productCode);
}

void ScriptMsiexec(SimulatedWindows& windows, Dword exitCode) {
  windows.childBehaviours[kMsiexec].exitCode = exitCode;
}

}  // namespace boot::sim
