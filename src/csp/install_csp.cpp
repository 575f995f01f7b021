#include "csp/install_csp.h"

namespace boot {

// Stand-in until the CSP installation arrives.
Dword InstallCspPackage(RunContext&, bool, bool, const std::wstring&, std::wstring) { return 0; }

}  // namespace boot
