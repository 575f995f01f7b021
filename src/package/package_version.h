// Plug-in versions: four signed 64-bit parts read from a version text, compared as one
// packed number.
#pragma once

#include <cstdint>
#include <string>

namespace boot {

struct PackageVersion {
  std::int64_t major = 0;
  std::int64_t minor = 0;
  std::int64_t build = 0;
  std::int64_t revision = 0;
};

// Reads "major.minor.build.revision" as the wide scan format "%I64d.%I64d.%I64d.%I64d"
// does: each number may have leading white space and a sign, reading stops at the first
// piece that does not fit, and the parts not read stay 0. Never fails; overflow wraps.
PackageVersion ParsePackageVersion(const std::wstring& text);

// ((major * 65536 + minor) * 65536 + build) * 65536 + revision, wrapping around in 64-bit
// two's complement. Parts outside 0..65535 carry into or borrow from the next part.
std::int64_t VersionKey(const PackageVersion& version);

// 1 when `package` is newer than `installed`, 0 when their keys are equal, else -1.
int CompareVersions(const PackageVersion& package, const PackageVersion& installed);

}  // namespace boot
