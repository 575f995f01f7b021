// log/: the run's own log (its events, their lines, its file), secrets kept out of it, and
// numbers as the decimal text it and the boxes write.
// Numbers as decimal text. The shipped program does not use std::to_wstring: it formats
// through vswprintf, which links MinGW's whole printf engine (about 26 KiB) into the
// program.
#pragma once

#include <cstdint>
#include <string>

namespace boot {

std::wstring DecimalText(std::int64_t value);

}  // namespace boot
