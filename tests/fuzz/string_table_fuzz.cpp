// A string-table block of any content, damaged or truncated: the walk never reads past it
// (AddressSanitizer watches the exact-size copy) and what it returns fits inside it.
#include <cstdlib>
#include <vector>

#include "resources/message_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> block(data, data + size);
  for (unsigned position = 0; position < 16; ++position) {
    std::wstring text = L"kept";
    bool found = boot::ReadStringTableEntry(block, position, &text);
    if (!found && text != L"kept") std::abort();
    if (found && (text.empty() || 2 * text.size() + 2 > block.size())) std::abort();
  }
  return 0;
}
