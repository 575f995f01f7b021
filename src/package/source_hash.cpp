#include "package/source_hash.h"

namespace boot {
namespace {

constexpr std::size_t kProductCodeChars = 38;

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool IsHyphenPosition(std::size_t index) {
  return index == 9 || index == 14 || index == 19 || index == 24;
}

}  // namespace

bool IsProductCodeForm(const std::wstring& text) {
  if (text.size() != kProductCodeChars || text.front() != L'{' || text.back() != L'}') {
    return false;
  }
  for (std::size_t index = 1; index + 1 < text.size(); ++index) {
    bool fits = IsHyphenPosition(index) ? text[index] == L'-' : IsHexDigit(text[index]);
    if (!fits) return false;
  }
  return true;
}

void DeleteSourceHash(RunContext& context, const std::wstring& productCode) {
  // The code becomes part of a path: text from a package must not reach other files.
  if (!IsProductCodeForm(productCode)) return;
  std::wstring windowsFolder;
  if (!context.os.GetRuntimeEnvironment(L"WINDIR", &windowsFolder)) windowsFolder.clear();
  context.os.DeleteFile(windowsFolder + L"\\installer\\SourceHash" + productCode);
}

}  // namespace boot
