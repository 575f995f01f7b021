// The pieces of the msiexec command line, as plain text functions.
#pragma once

#include <string>

#include "files/install_log.h"

namespace boot {

// The verbose log option put in front of the arguments: /Lv! "<logPath>"
std::wstring LogOption(const std::wstring& logPath);

// "<systemDirectory>\msiexec.exe" /i "<packagePath>" <arguments>
std::wstring BuildMsiexecCommandLine(const std::wstring& systemDirectory,
                                     const std::wstring& packagePath,
                                     const std::wstring& arguments);

}  // namespace boot
