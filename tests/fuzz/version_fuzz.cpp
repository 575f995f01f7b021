// Version texts from packages and from Windows Installer: parsing never fails and the
// comparison is a consistent order whatever the texts hold.
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "package/package_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text = boot::fuzz::WideText(data, size);
  std::size_t split = text.find(L'|');
  std::wstring first = text.substr(0, split);
  std::wstring second = split == std::wstring::npos ? std::wstring() : text.substr(split + 1);
  auto a = boot::ParsePackageVersion(first);
  auto b = boot::ParsePackageVersion(second);
  int forward = boot::CompareVersions(a, b);
  int backward = boot::CompareVersions(b, a);
  if (forward != -backward || forward < -1 || forward > 1) std::abort();
  if ((forward == 0) != (boot::VersionKey(a) == boot::VersionKey(b))) std::abort();
  if (boot::CompareVersions(a, a) != 0) std::abort();
  return 0;
}
