// command_text/: command text read as the programs that consume it read it.
// The two readings of command text that the program meets: msiexec's, for Windows Installer
// options, and CommandLineToArgvW's, for the program's own command line and for programs
// that split their arguments by it (wscript.exe).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace boot {

// One token or argument of a text.
struct CommandToken {
  std::size_t begin = 0;          // where it starts in the text read
  std::size_t end = 0;            // one past where it ends, closing quotes included
  std::wstring text;              // as its reader sees it: quotes taken away, escapes resolved
  std::vector<std::size_t> from;  // for each character of `text`, where it stands in the text
};

// msiexec's reading: blanks outside quotes separate tokens, a quoted part may hold blanks,
// and "" inside quotes is one quotation mark. Backslashes are plain characters.
std::vector<CommandToken> SplitInstallerText(const std::wstring& text);

// CommandLineToArgvW's reading: blanks outside quotes separate arguments; 2n backslashes
// before a quotation mark are n backslashes and the quote opens or closes a quoted part,
// 2n+1 are n backslashes and a literal quotation mark; of three quotation marks in a row,
// the third is a literal one. The program name gets no rules of its own.
std::vector<CommandToken> SplitArguments(const std::wstring& text);

}  // namespace boot
