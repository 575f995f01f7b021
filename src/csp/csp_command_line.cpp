#include "csp/csp_command_line.h"

#include "command_text/installer_options.h"

namespace boot {
namespace {

// Verbose log written through line by line; the path stands in three quotes on each side.
std::wstring SetupLogOption(const std::wstring& logPath) {
  return L"/Lv! \"\"\"" + logPath + L"\"\"\" ";
}

std::wstring SetupArguments(const std::wstring& cspOptions, const std::wstring& logPath,
                            bool nobodyCanSee) {
  std::wstring options = cspOptions;
  if (!logPath.empty()) options = SetupLogOption(logPath) + options;
  // Exact case: "/Q..." is not taken as a quiet option.
  if (!HoldsUiOption(options)) options = (nobodyCanSee ? L"/qn " : L"/qb ") + options;
  return options;
}

}  // namespace

std::wstring BuildCspCommandLine(const std::wstring& cspFolder, const std::wstring& cspOptions,
                                 const std::wstring& logPath, bool silent, bool reinstall,
                                 bool nobodyCanSee) {
  std::wstring commandLine = cspFolder + L"\\Setup.exe ";
  commandLine += L"-args \"" + SetupArguments(cspOptions, logPath, nobodyCanSee) + L"\"";
  commandLine += L" -noreboot -root";
  if (silent) commandLine += L" -silent";
  if (reinstall) commandLine += L" -reinstall";
  return commandLine;
}

}  // namespace boot
