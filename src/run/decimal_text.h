// Numbers as decimal text. std::to_wstring would bring MinGW's whole printf along (about
// 25 KB of the shipped program, more than a fifth of it) for nothing else.
#pragma once

#include <cstdint>
#include <string>

namespace boot {

// As "%lld" writes it: a minus sign for a negative value, no leading zeros.
std::wstring DecimalText(std::int64_t value);

}  // namespace boot
