#include "resources/message_catalogue.h"

namespace boot {
namespace {

constexpr Word kLanguageNeutral = 0;

bool ReadUnit(const std::vector<std::uint8_t>& block, std::size_t offset, unsigned* unit) {
  if (block.size() < 2 || offset > block.size() - 2) return false;
  *unit = static_cast<unsigned>(block[offset]) | (static_cast<unsigned>(block[offset + 1]) << 8);
  return true;
}

}  // namespace

bool ReadStringTableEntry(const std::vector<std::uint8_t>& block, unsigned position,
                          std::wstring* text) {
  std::size_t offset = 0;
  unsigned length = 0;
  for (unsigned skipped = 0; skipped < position; ++skipped) {
    if (!ReadUnit(block, offset, &length)) return false;
    offset += 2 + 2 * static_cast<std::size_t>(length);
  }
  if (!ReadUnit(block, offset, &length) || length == 0) return false;
  offset += 2;
  if (2 * static_cast<std::size_t>(length) > block.size() - offset) return false;
  std::wstring entry;
  entry.reserve(length);
  for (unsigned index = 0; index < length; ++index) {
    unsigned unit = 0;
    ReadUnit(block, offset + 2 * static_cast<std::size_t>(index), &unit);
    entry += static_cast<wchar_t>(unit);
  }
  *text = entry;
  return true;
}

std::wstring LoadMessage(Platform& os, Word id) {
  std::wstring text;
  auto block = os.FindOwnResource(kRtString, static_cast<Word>(id / 16 + 1), kLanguageNeutral);
  ReadStringTableEntry(block, id % 16u, &text);
  return text;
}

std::wstring FillPlaceholders(const std::wstring& format, const std::vector<std::wstring>& values) {
  std::wstring text;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's') {
      if (next < values.size()) text += values[next];
      ++next;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

}  // namespace boot
