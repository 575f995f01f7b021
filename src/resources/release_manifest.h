// The release's manifest: the SHA-256 of every file that a release lays out for the program
// to use, carried inside the signed program as resource IDR_RELEASE_MANIFEST, so that the
// signature covers it. A build without the resource (a developer's) has no manifest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boot {

struct ManifestEntry {
  std::wstring digest;  // 64 lower-case hexadecimal digits
  std::wstring path;    // relative to the program's folder, with backslashes
};

// Reads the manifest: UTF-8 lines "<digest>  <path>\n", as sha256sum writes them. False, with
// `entries` empty, when the text holds anything else (an empty text included).
bool ReadReleaseManifest(const std::vector<std::uint8_t>& bytes,
                         std::vector<ManifestEntry>* entries);

// Whether two file names are the same to Windows, which ignores the case of letters.
bool SameFileName(const std::wstring& a, const std::wstring& b);

// The entry of the file at `path`, or null when the manifest does not list it.
const ManifestEntry* FindManifestEntry(const std::vector<ManifestEntry>& entries,
                                       const std::wstring& path);

}  // namespace boot
