#include "run/windows_release.h"

namespace boot {

bool IsNt5Release(RunContext& context, Dword minor) {
  Dword major = 0;
  Dword reportedMinor = 0;
  context.os.RtlGetNtVersionNumbers(&major, &reportedMinor, nullptr);
  return major == 5 && reportedMinor == minor;
}

}  // namespace boot
