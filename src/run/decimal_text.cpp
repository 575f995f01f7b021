#include "run/decimal_text.h"

namespace boot {

std::wstring DecimalText(std::int64_t value) {
  // The magnitude in unsigned arithmetic, which also holds that of the most negative value.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  wchar_t digits[21];
  std::size_t first = sizeof(digits) / sizeof(digits[0]);
  do {
    digits[--first] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--first] = L'-';
  return std::wstring(digits + first, digits + sizeof(digits) / sizeof(digits[0]));
}

}  // namespace boot
