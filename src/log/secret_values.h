// log/: the run's own log (its events, their lines, its file), secrets kept out of it, and
// numbers as the decimal text it and the boxes write.
// Keeping secrets that administrators pass to the installers out of the run's log.
#pragma once

#include <string>

namespace boot {

// The text with the value of each NAME=value fragment written as *** when NAME (letters,
// digits, "_" and "." before the "=") holds PASSWORD, PASSWD, PWD, PIN, SECRET, TOKEN or
// KEY in any case. A value is read as msiexec reads it: up to the next blank, or, when it
// begins with a double quotation mark (also one escaped as \"), up to the next one, blanks
// included. Unquoted values also end at a quotation mark, which may close the argument that
// holds the fragment.
std::wstring MaskSecretValues(const std::wstring& text);

}  // namespace boot
