// Turning a fuzzer's bytes into the wide texts the bootstrapper reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace boot::fuzz {

// Bytes starting with 0xFF are UTF-16LE code units after that byte (lone surrogates and
// all); any other input is taken byte by byte as Latin-1, so seeds stay plain text.
inline std::wstring WideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  if (size > 0 && data[0] == 0xFF) {
    for (std::size_t i = 1; i + 1 < size; i += 2) {
      text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return text;
  }
  for (std::size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  return text;
}

}  // namespace boot::fuzz
