// log/: the run's own log (its events, their lines, its file), secrets kept out of it, and
// numbers as the decimal text it and the boxes write.
// Keeping secrets that administrators pass to the installers and scripts out of the run's log.
#pragma once

#include <string>

namespace boot {

// The text with each secret value written as ***. A value is secret when the name in front
// of its "=" or ":" (letters, digits, "_" and ".", so "/NAME:value" counts too) holds PASS,
// PWD, PIN, SECRET, TOKEN, KEY, CRED, AUTH or PSK in any case. The text is read both as
// msiexec reads it and as CommandLineToArgvW does, with msiexec's reading inside each
// argument; what either reading takes for the value is masked, a value that never ends up
// to the end of its token or argument. Masking too much costs nothing.
std::wstring MaskSecretValues(const std::wstring& text);

}  // namespace boot
