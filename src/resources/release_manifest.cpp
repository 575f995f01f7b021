#include "resources/release_manifest.h"

#include <algorithm>

namespace boot {
namespace {

constexpr std::size_t kDigestDigits = 64;
constexpr std::size_t kSeparatorLength = 2;  // two blanks

bool IsDigestDigit(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// Appends the UTF-16 form of the UTF-8 text from `at` to `end`; false for anything but the
// shortest form of a character.
bool AppendUtf8(const std::uint8_t* at, const std::uint8_t* end, std::wstring* text) {
  static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  while (at < end) {
    std::uint32_t code = *at++;
    const int following = code < 0x80                   ? 0
                          : code >= 0xC2 && code < 0xE0 ? 1
                          : code >= 0xE0 && code < 0xF0 ? 2
                          : code >= 0xF0 && code < 0xF5 ? 3
                                                        : -1;
    if (following < 0 || end - at < following) return false;
    if (following > 0) code &= 0x3Fu >> following;
    for (int index = 0; index < following; ++index, ++at) {
      if ((*at & 0xC0) != 0x80) return false;
      code = (code << 6) | (*at & 0x3Fu);
    }
    if (code < kSmallest[following] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) {
      return false;
    }
    if (code >= 0x10000) {
      *text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      code = 0xDC00 + (code & 0x3FF);
    }
    *text += static_cast<wchar_t>(code);
  }
  return true;
}

bool ReadLine(const std::uint8_t* at, const std::uint8_t* end, ManifestEntry* entry) {
  if (static_cast<std::size_t>(end - at) <= kDigestDigits + kSeparatorLength) return false;
  for (std::size_t index = 0; index < kDigestDigits; ++index) {
    if (!IsDigestDigit(at[index])) return false;
    entry->digest += static_cast<wchar_t>(at[index]);
  }
  at += kDigestDigits;
  if (at[0] != ' ' || at[1] != ' ') return false;
  return AppendUtf8(at + kSeparatorLength, end, &entry->path);
}

// Upper-case letters of the scripts that file names here are written in, as lower case.
wchar_t FoldLetter(wchar_t c) {
  if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x410 && c <= 0x42F)) {
    return static_cast<wchar_t>(c + 0x20);
  }
  return c >= 0x400 && c <= 0x40F ? static_cast<wchar_t>(c + 0x50) : c;
}

}  // namespace

bool ReadReleaseManifest(const std::vector<std::uint8_t>& bytes,
                         std::vector<ManifestEntry>* entries) {
  entries->clear();
  const std::uint8_t* at = bytes.data();
  const std::uint8_t* const end = at + bytes.size();
  while (at < end) {
    const std::uint8_t* lineEnd = std::find(at, end, '\n');
    ManifestEntry entry;
    if (lineEnd == end || !ReadLine(at, lineEnd, &entry)) {
      entries->clear();
      return false;
    }
    entries->push_back(entry);
    at = lineEnd + 1;
  }
  return !entries->empty();
}

bool SameFileName(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return FoldLetter(x) == FoldLetter(y); });
}

const ManifestEntry* FindManifestEntry(const std::vector<ManifestEntry>& entries,
                                       const std::wstring& path) {
  for (const auto& entry : entries) {
    if (SameFileName(entry.path, path)) return &entry;
  }
  return nullptr;
}

}  // namespace boot
