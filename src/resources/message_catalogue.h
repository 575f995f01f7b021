// Fetching texts from the message catalogue by number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/message_ids.h"

namespace boot {

// The text of catalogue entry `id` among the program's resources, or an empty text when
// there is none.
std::wstring LoadMessage(Platform& os, Word id);

// Walks one raw string-table block to the entry at `position` (0 to 15); false when the
// walk runs off the end of the block or the entry is empty. Never reads past `block`.
bool ReadStringTableEntry(const std::vector<std::uint8_t>& block, unsigned position,
                          std::wstring* text);

// Fills the %s placeholders of a catalogue text, in order.
std::wstring FillPlaceholders(const std::wstring& format, const std::vector<std::wstring>& values);

}  // namespace boot
