#include "support/string_table.h"

#include <stdexcept>

namespace boot::sim {

const std::map<int, std::wstring>& CatalogueTexts() {
#define MESSAGE(id, text) {id, L"" text},
  static const std::map<int, std::wstring> texts = {
#include "resources/messages.inc"
  };
#undef MESSAGE
  return texts;
}

std::vector<std::uint8_t> EncodeBlock(const std::map<int, std::wstring>& textsByPosition) {
  std::vector<std::uint8_t> bytes;
  auto put = [&bytes](unsigned unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (int position = 0; position < 16; ++position) {
    auto found = textsByPosition.find(position);
    std::wstring text = found == textsByPosition.end() ? std::wstring() : found->second;
    put(static_cast<unsigned>(text.size()));
    for (wchar_t c : text) {
      if (static_cast<unsigned long>(c) > 0xFFFF) throw std::logic_error("text outside the BMP");
      put(static_cast<unsigned>(c));
    }
  }
  return bytes;
}

std::vector<std::uint8_t> BuildCatalogueBlock(int blockNumber) {
  std::map<int, std::wstring> block;
  for (const auto& [id, text] : CatalogueTexts()) {
    if (id / 16 + 1 == blockNumber) block[id % 16] = text;
  }
  if (block.empty()) return {};
  return EncodeBlock(block);
}

}  // namespace boot::sim
