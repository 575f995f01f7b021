// The pieces of the msiexec command line, as plain text functions.
#pragma once

#include <string>

#include "files/install_log.h"

namespace boot {

// The verbose log option put in front of the arguments: /Lv! "<logPath>"
std::wstring LogOption(const std::wstring& logPath);

// "<systemDirectory>\msiexec.exe" <operation> "<target>" <arguments>: /i and the package's
// path, or /x and a product code.
std::wstring BuildMsiexecCommandLine(const std::wstring& systemDirectory, const wchar_t* operation,
                                     const std::wstring& target, const std::wstring& arguments);

}  // namespace boot
