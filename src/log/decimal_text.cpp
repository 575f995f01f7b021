#include "log/decimal_text.h"

namespace boot {

std::wstring DecimalText(std::int64_t value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) magnitude = 0 - magnitude;
  wchar_t digits[21];
  wchar_t* const end = digits + 21;
  wchar_t* first = end;
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, end);
}

}  // namespace boot
