#include "package/msiexec_command.h"

namespace boot {

std::wstring LogOption(const std::wstring& logPath) { return L"/Lv! \"" + logPath + L"\""; }

std::wstring BuildMsiexecCommandLine(const std::wstring& systemDirectory, const wchar_t* operation,
                                     const std::wstring& target, const std::wstring& arguments) {
  return L"\"" + systemDirectory + L"\\msiexec.exe\" " + operation + L" \"" + target + L"\" " +
         arguments;
}

}  // namespace boot
