// Whether the program runs as a 32-bit process on 64-bit Windows, and which architecture's
// package this Windows takes.
#pragma once

#include "run/run_context.h"

namespace boot {

// IsWow64Process of the current process, found at run time; false when Windows has no
// such function or it fails.
bool IsWow64(RunContext& context);

struct MachineArchitecture {
  bool nativeKnown = false;  // IsWow64Process2 told the machine Windows runs on
  Word nativeMachine = 0;    // IMAGE_FILE_MACHINE_*
  bool x64Package = false;   // the x64 package is taken, else the win32 one
};

// On ARM64 Windows, the x64 package only where x64 code runs in user mode (Windows 11 runs
// it emulated; Windows 10 cannot, and has no GetMachineTypeAttributes to say so), else the
// win32 one. On every other machine, the x64 package exactly on 64-bit Windows (IsWow64).
MachineArchitecture ReadMachineArchitecture(RunContext& context);

}  // namespace boot
