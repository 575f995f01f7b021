// Comparing the installed plug-in's version with the package beside the bootstrapper, and
// the upgrade question.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Reads the installed product's VersionString into `installedVersion` and the package's
// name and version (LanguageFilter + basePattern, else basePattern), then sets
// `comparison` to 1 (package newer), 0 (equal) or -1 (package older) and returns 0.
// When the package is newer, silent is off and `offerUpgrade` is on, asks message 153;
// No ends the process with exit code 1. Failures leave `comparison` untouched: 1 when the
// version's length cannot be read, else the failing call's code (messages 131, 135, 133
// or 134 unless silent; the boxes have no owner).
Dword CompareWithInstalled(RunContext& context, int* comparison, bool offerUpgrade,
                           const std::wstring& installedProductCode,
                           const std::wstring& basePattern, bool silent,
                           std::wstring* installedVersion);

}  // namespace boot
