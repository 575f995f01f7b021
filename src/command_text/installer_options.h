// command_text/: command text read as the programs that consume it read it.
// What Windows Installer options a user's text holds, token by token as msiexec reads it:
// text inside a property's value is never taken for an option.
#pragma once

#include <string>
#include <vector>

namespace boot {

// A token that starts with "/q" (exact case: "/Q..." does not count).
bool HoldsUiOption(const std::wstring& text);

// A token that starts with "/l" or "/L".
bool HoldsLogOption(const std::wstring& text);

// Every token that msiexec takes for a user-interface option ("/q..." or "-q..." in any
// case, "/passive", "-passive") replaced by "/qn"; `replaced` gets the tokens as they stood.
std::wstring WithNoUiOnly(const std::wstring& text, std::vector<std::wstring>* replaced);

}  // namespace boot
