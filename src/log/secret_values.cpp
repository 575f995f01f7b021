#include "log/secret_values.h"

#include <vector>

#include "command_text/command_tokens.h"

namespace boot {
namespace {

// PASS stands for PASSWORD and PASSWD too.
const wchar_t* const kSecretWords[] = {L"PASS", L"PWD",  L"PIN",  L"SECRET", L"TOKEN",
                                       L"KEY",  L"CRED", L"AUTH", L"PSK"};

// What is to be hidden: `hidden` per character, `from` where a masked value starts (it may
// be empty: "PIN=" shows as "PIN=***" all the same).
struct Mask {
  explicit Mask(std::size_t size) : hidden(size, false), from(size + 1, false) {}
  void Hide(std::size_t first, std::size_t end) {
    from[first] = true;
    for (std::size_t at = first; at < end; ++at) hidden[at] = true;
  }
  std::vector<bool> hidden;
  std::vector<bool> from;
};

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

// Where, in a token as read, the first "=" or ":" after a secret name stands; npos if none.
std::size_t SecretSeparator(const std::wstring& token) {
  for (std::size_t at = token.find_first_of(L"=:"); at != std::wstring::npos;
       at = token.find_first_of(L"=:", at + 1)) {
    std::size_t name = at;
    while (name > 0 && IsNameCharacter(token[name - 1])) --name;
    if (IsSecretName(token.substr(name, at - name))) return at;
  }
  return std::wstring::npos;
}

// The secret values of `text` read as msiexec reads it, from each separator to its token's end.
void HideInstallerSecrets(const std::wstring& text, Mask& mask) {
  for (const CommandToken& token : SplitInstallerText(text)) {
    std::size_t separator = SecretSeparator(token.text);
    if (separator != std::wstring::npos) mask.Hide(token.from[separator] + 1, token.end);
  }
}

// The same inside each argument, placed back into `text` through the argument's own reading.
void HideArgumentSecrets(const std::wstring& text, Mask& mask) {
  for (const CommandToken& argument : SplitArguments(text)) {
    const std::size_t size = argument.text.size();
    Mask inside(size);
    HideInstallerSecrets(argument.text, inside);
    for (std::size_t at = 0; at <= size; ++at) {
      if (!inside.from[at]) continue;
      std::size_t end = at;
      while (end < size && inside.hidden[end]) ++end;
      mask.Hide(argument.from[at - 1] + 1, end == size ? argument.end : argument.from[end - 1] + 1);
    }
  }
}

}  // namespace

std::wstring MaskSecretValues(const std::wstring& text) {
  Mask mask(text.size());
  HideInstallerSecrets(text, mask);
  HideArgumentSecrets(text, mask);
  std::wstring masked;
  bool inValue = false;  // the character before was hidden
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (mask.from[at] && !inValue) masked += L"***";
    inValue = at < text.size() && mask.hidden[at];
    if (at < text.size() && !inValue) masked += text[at];
  }
  return masked;
}

}  // namespace boot
