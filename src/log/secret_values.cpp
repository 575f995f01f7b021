#include "log/secret_values.h"

namespace boot {
namespace {

const wchar_t* const kSecretWords[] = {L"PASSWORD", L"PASSWD", L"PWD", L"PIN",
                                       L"SECRET",   L"TOKEN",  L"KEY"};

bool IsNameCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'_' || c == L'.';
}

bool IsSecretName(std::wstring name) {
  for (auto& c : name) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  for (const wchar_t* word : kSecretWords) {
    if (name.find(word) != std::wstring::npos) return true;
  }
  return false;
}

// Where the value that starts at `start` ends.
std::size_t ValueEnd(const std::wstring& text, std::size_t start) {
  std::size_t at = text.find_first_not_of(L'\\', start);
  if (at != std::wstring::npos && text[at] == L'"') {
    std::size_t closing = text.find(L'"', at + 1);
    return closing == std::wstring::npos ? text.size() : closing + 1;
  }
  at = text.find_first_of(L" \t\"", start);
  return at == std::wstring::npos ? text.size() : at;
}

}  // namespace

std::wstring MaskSecretValues(const std::wstring& text) {
  std::wstring masked;
  std::size_t copied = 0;
  for (std::size_t equals = text.find(L'='); equals != std::wstring::npos;
       equals = text.find(L'=', equals + 1)) {
    if (equals < copied) continue;  // inside a value already masked
    std::size_t name = equals;
    while (name > copied && IsNameCharacter(text[name - 1])) --name;
    if (!IsSecretName(text.substr(name, equals - name))) continue;
    masked.append(text, copied, equals + 1 - copied).append(L"***");
    copied = ValueEnd(text, equals + 1);
  }
  return masked.append(text, copied, std::wstring::npos);
}

}  // namespace boot
