#include "command_text/installer_options.h"

#include "command_text/command_tokens.h"

namespace boot {
namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool AnyTokenStartsWith(const std::wstring& text, wchar_t slash, wchar_t letter, wchar_t other) {
  for (const CommandToken& token : SplitInstallerText(text)) {
    const std::wstring& t = token.text;
    if (t.size() >= 2 && t[0] == slash && (t[1] == letter || t[1] == other)) return true;
  }
  return false;
}

// "/q..." or "-q..." in any case, "/passive" or "-passive".
bool IsUiOption(const std::wstring& token) {
  if (token.size() < 2 || (token[0] != L'/' && token[0] != L'-')) return false;
  if (Lower(token[1]) == L'q') return true;
  const wchar_t passive[] = L"passive";
  if (token.size() != 8) return false;
  for (int i = 0; i < 7; ++i) {
    if (Lower(token[i + 1]) != passive[i]) return false;
  }
  return true;
}

}  // namespace

bool HoldsUiOption(const std::wstring& text) { return AnyTokenStartsWith(text, L'/', L'q', L'q'); }

bool HoldsLogOption(const std::wstring& text) { return AnyTokenStartsWith(text, L'/', L'l', L'L'); }

std::wstring WithNoUiOnly(const std::wstring& text, std::vector<std::wstring>* replaced) {
  std::wstring result;
  std::size_t copied = 0;
  for (const CommandToken& token : SplitInstallerText(text)) {
    if (!IsUiOption(token.text)) continue;
    replaced->push_back(text.substr(token.begin, token.end - token.begin));
    result.append(text, copied, token.begin - copied).append(L"/qn");
    copied = token.end;
  }
  return result.append(text, copied, std::wstring::npos);
}

}  // namespace boot
