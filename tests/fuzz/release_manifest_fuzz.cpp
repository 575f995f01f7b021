// The release's manifest as bytes of any kind: what the reader accepts is exactly what
// sha256sum would have written for the entries it returns, so nothing is skipped, cut or
// read in two ways.
#include <cstdlib>

#include "log/run_log.h"
#include "resources/release_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  std::vector<boot::ManifestEntry> entries;
  const bool read = boot::ReadReleaseManifest(bytes, &entries);
  if (read != !entries.empty()) std::abort();
  std::string written;
  for (const auto& entry : entries) {
    written += boot::ToUtf8(entry.digest) + "  " + boot::ToUtf8(entry.path) + "\n";
    if (boot::FindManifestEntry(entries, entry.path) == nullptr) std::abort();
  }
  if (read && written != std::string(bytes.begin(), bytes.end())) std::abort();
  return 0;
}
