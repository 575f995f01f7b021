// Windows Installer's cached source hash of a product, in the Windows Installer folder.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Deletes %WINDIR%\installer\SourceHash<productCode>; the outcome is ignored. Only a
// product code in the form of a GUID in braces names a file: any other text, the empty
// one included, deletes nothing.
void DeleteSourceHash(RunContext& context, const std::wstring& productCode);

// True for "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits X.
bool IsProductCodeForm(const std::wstring& text);

}  // namespace boot
