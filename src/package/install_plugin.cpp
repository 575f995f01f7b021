#include "package/install_plugin.h"

namespace boot {

// Stand-in until the plug-in installation arrives: nothing to install yet.
Dword InstallPlugin(RunContext&, bool, std::wstring&, std::wstring, bool) { return 0; }

}  // namespace boot
