#include "command_text/command_tokens.h"

namespace boot {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Appends character `at` of the text to the token.
void Take(CommandToken& token, wchar_t c, std::size_t at) {
  token.text += c;
  token.from.push_back(at);
}

void Drop(CommandToken& token, std::size_t count) {
  token.text.resize(token.text.size() - count);
  token.from.resize(token.from.size() - count);
}

// Splits at blanks outside quotes; `read` takes the token's characters from `at` on and
// returns where the token ends.
template <typename ReadToken>
std::vector<CommandToken> Split(const std::wstring& text, ReadToken read) {
  std::vector<CommandToken> tokens;
  std::size_t at = 0;
  while (true) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at == text.size()) return tokens;
    CommandToken token;
    token.begin = at;
    at = token.end = read(text, at, token);
    tokens.push_back(std::move(token));
  }
}

std::size_t ReadInstallerToken(const std::wstring& text, std::size_t at, CommandToken& token) {
  bool quoted = false;
  for (; at < text.size() && (quoted || !IsBlank(text[at])); ++at) {
    if (text[at] != L'"') {
      Take(token, text[at], at);
    } else if (quoted && at + 1 < text.size() && text[at + 1] == L'"') {
      Take(token, L'"', ++at);
    } else {
      quoted = !quoted;
    }
  }
  return at;
}

std::size_t ReadArgument(const std::wstring& text, std::size_t at, CommandToken& token) {
  std::size_t backslashes = 0;
  int quotes = 0;  // 1 inside a quoted part
  while (at < text.size() && (quotes != 0 || !IsBlank(text[at]))) {
    if (text[at] != L'"') {
      backslashes = text[at] == L'\\' ? backslashes + 1 : 0;
      Take(token, text[at], at);
      ++at;
      continue;
    }
    Drop(token, backslashes / 2 + backslashes % 2);
    if (backslashes % 2 == 1) {
      Take(token, L'"', at);
    } else {
      ++quotes;
    }
    backslashes = 0;
    for (++at; at < text.size() && text[at] == L'"'; ++at) {
      if (++quotes == 3) {
        Take(token, L'"', at);
        quotes = 0;
      }
    }
    if (quotes == 2) quotes = 0;
  }
  return at;
}

}  // namespace

std::vector<CommandToken> SplitInstallerText(const std::wstring& text) {
  return Split(text, ReadInstallerToken);
}

std::vector<CommandToken> SplitArguments(const std::wstring& text) {
  return Split(text, ReadArgument);
}

}  // namespace boot
