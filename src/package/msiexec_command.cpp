#include "package/msiexec_command.h"

namespace boot {

std::wstring LogOption(const std::wstring& logPath) { return L"/Lv! \"" + logPath + L"\""; }

std::wstring BuildMsiexecCommandLine(const std::wstring& systemDirectory,
                                     const std::wstring& packagePath,
                                     const std::wstring& arguments) {
  return L"\"" + systemDirectory + L"\\msiexec.exe\" /i \"" + packagePath + L"\" " + arguments;
}

}  // namespace boot
