// The program's string table as the resource compiler lays it out, built from the same
// message list as the program's resources.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace boot::sim {

// The catalogue's texts by ID, read from the message list.
const std::map<int, std::wstring>& CatalogueTexts();

// One string-table block: 16 counted UTF-16 strings; texts by position 0..15.
std::vector<std::uint8_t> EncodeBlock(const std::map<int, std::wstring>& textsByPosition);

// The block of the catalogue with the given number (ID / 16 + 1); empty when it holds no text.
std::vector<std::uint8_t> BuildCatalogueBlock(int blockNumber);

}  // namespace boot::sim
