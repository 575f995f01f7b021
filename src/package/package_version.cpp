#include "package/package_version.h"

#include <limits>

namespace boot {
namespace {

bool IsScanSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Two's-complement reinterpretation without relying on implementation-defined conversion.
std::int64_t ToSigned(std::uint64_t value) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (value <= kMax) return static_cast<std::int64_t>(value);
  return -static_cast<std::int64_t>(~value) - 1;
}

// One "%I64d": false, with `position` unchanged, when no digit follows the optional white
// space and sign.
bool ScanNumber(const std::wstring& text, std::size_t* position, std::int64_t* number) {
  std::size_t at = *position;
  while (at < text.size() && IsScanSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
  if (at >= text.size() || !IsDigit(text[at])) return false;
  std::uint64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[at] - L'0');
  }
  *number = ToSigned(negative ? 0 - magnitude : magnitude);
  *position = at;
  return true;
}

}  // namespace

PackageVersion ParsePackageVersion(const std::wstring& text) {
  PackageVersion version;
  std::int64_t* parts[] = {&version.major, &version.minor, &version.build, &version.revision};
  std::size_t position = 0;
  for (std::size_t index = 0; index < 4; ++index) {
    if (index > 0) {
      if (position >= text.size() || text[position] != L'.') break;
      ++position;
    }
    if (!ScanNumber(text, &position, parts[index])) break;
  }
  return version;
}

std::int64_t VersionKey(const PackageVersion& version) {
  std::uint64_t key = static_cast<std::uint64_t>(version.major);
  for (std::int64_t part : {version.minor, version.build, version.revision}) {
    key = (key << 16) + static_cast<std::uint64_t>(part);
  }
  return ToSigned(key);
}

int CompareVersions(const PackageVersion& package, const PackageVersion& installed) {
  std::int64_t packageKey = VersionKey(package);
  std::int64_t installedKey = VersionKey(installed);
  if (packageKey > installedKey) return 1;
  return packageKey == installedKey ? 0 : -1;
}

}  // namespace boot
