#include "package/package_version.h"

#include <gtest/gtest.h>

#include <limits>

namespace boot {
namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct ParseCase {
  const wchar_t* text;
  std::int64_t major, minor, build, revision;
};

TEST(ParsePackageVersionTest, ReadsLikeTheWideScanFormat) {
  const ParseCase cases[] = {
      {L"1.2.3.4", 1, 2, 3, 4},
      {L"1.0.0", 1, 0, 0, 0},
      {L"", 0, 0, 0, 0},
      {L"abc", 0, 0, 0, 0},
      {L"v1.2", 0, 0, 0, 0},
      {L" 2. +3.-4.\t5", 2, 3, -4, 5},
      {L"1.2.3.\n4", 1, 2, 3, 4},
      {L"1..3.4", 1, 0, 0, 0},
      {L"1.2x.3.4", 1, 2, 0, 0},
      {L"1 .2", 1, 0, 0, 0},
      {L"1.- 2", 1, 0, 0, 0},
      {L"+.1", 0, 0, 0, 0},
      {L"1.2.3.4.5", 1, 2, 3, 4},
      {L"1.2.3.4 beta", 1, 2, 3, 4},
      {L"007.010", 7, 10, 0, 0},
      {L"1,2,3", 1, 0, 0, 0},
      {L"\x0661.2", 0, 0, 0, 0},  // an Arabic-Indic digit is no digit here
      {L"9223372036854775807.1", kMax, 1, 0, 0},
      {L"-9223372036854775808", kMin, 0, 0, 0},
      {L"9223372036854775808", kMin, 0, 0, 0},
      {L"18446744073709551617.2", 1, 2, 0, 0},
      {L"-1.65536", -1, 65536, 0, 0},
  };
  for (const auto& c : cases) {
    PackageVersion version = ParsePackageVersion(c.text);
    EXPECT_EQ(version.major, c.major) << "major of \"" << c.text << "\"";
    EXPECT_EQ(version.minor, c.minor) << "minor of \"" << c.text << "\"";
    EXPECT_EQ(version.build, c.build) << "build of \"" << c.text << "\"";
    EXPECT_EQ(version.revision, c.revision) << "revision of \"" << c.text << "\"";
  }
}

TEST(ParsePackageVersionTest, StopsAtAnEmbeddedNul) {
  std::wstring text(L"1.2\0.3", 6);
  PackageVersion version = ParsePackageVersion(text);
  EXPECT_EQ(version.minor, 2);
  EXPECT_EQ(version.build, 0);
}

struct KeyCase {
  PackageVersion version;
  std::int64_t key;
};

TEST(VersionKeyTest, PacksSixteenBitsPerPartWithWrapAround) {
  const KeyCase cases[] = {
      {{0, 0, 0, 0}, 0},
      {{1, 0, 0, 0}, std::int64_t{1} << 48},
      {{1, 2, 3, 4}, (std::int64_t{1} << 48) + (std::int64_t{2} << 32) + (3 << 16) + 4},
      {{0, 0, 0, -1}, -1},
      {{32767, 65535, 65535, 65535}, kMax},
      {{32768, 0, 0, 0}, kMin},
      {{65536, 0, 0, 0}, 0},
      {{-1, 0, 0, 0}, -(std::int64_t{1} << 48)},
      {{0, 0, 0, kMax}, kMax},
      {{0, 0, 0, kMin}, kMin},
      {{kMin, kMin, kMin, kMin}, kMin},
      {{kMax, kMax, kMax, kMax},
       -(std::int64_t{1} << 48) - (std::int64_t{1} << 32) - (std::int64_t{1} << 16) + kMax},
  };
  for (const auto& c : cases) {
    const auto& v = c.version;
    EXPECT_EQ(VersionKey(v), c.key)
        << v.major << "." << v.minor << "." << v.build << "." << v.revision;
  }
}

struct CompareCase {
  const wchar_t* package;
  const wchar_t* installed;
  int answer;
};

TEST(CompareVersionsTest, ComparesThePackedKeys) {
  const CompareCase cases[] = {
      {L"1.0.0.0", L"1.0.0", 0},
      {L"2.0.10", L"2.0.5", 1},
      {L"1.2.3.4", L"1.2.3.5", -1},
      {L"1.1.0.0", L"1.0.65536.0", 0},
      {L"2.0.-1", L"1.65535.65535", 0},
      {L"1.0", L"", 1},
      {L"1.0", L"not a version", 1},
      {L"0.0.0.0", L"", 0},
      {L"0.0.0.-1", L"", -1},
      {L"32768.0", L"1.0", -1},
      {L"1.0", L"32768.0", 1},
      {L" +1.2", L"1.2", 0},
      {L"-1", L"0", -1},
      {L"1.2.3.4", L"1.2.3.4.9", 0},
      {L"18446744073709551617", L"1", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareVersions(ParsePackageVersion(c.package), ParsePackageVersion(c.installed)),
              c.answer)
        << "package \"" << c.package << "\", installed \"" << c.installed << "\"";
  }
}

}  // namespace
}  // namespace boot
