#include "package/msiexec_command.h"

namespace boot {

std::wstring LogOption(const std::wstring& logPath) { return L"/Lv! \"" + logPath + L"\""; }

std::wstring BuildMsiexecCommandLine(const std::wstring& systemDirectory,
                                     const std::wstring& packagePath,
                                     const std::wstring& arguments) {
  return L"\"" + systemDirectory + L"\\msiexec.exe\" /i \"" + packagePath + L"\" " + arguments;
}

std::wstring FileNameOf(const std::wstring& path) {
  auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace boot
