#include "run/wow64.h"

#include "run/system_function.h"

namespace boot {
namespace {

// The address of IsWow64Process, looked up once per run with the two functions that tell
// the native machine; 0 when kernel32 does not export it. Without kernel32's handle nothing
// is remembered, so the next call tries again.
ProcAddress IsWow64ProcessAddress(RunContext& context) {
  Wow64Lookup& lookup = context.wow64;
  if (lookup.state == Wow64Lookup::State::kNotLookedUp) {
    ModuleHandle kernel32 = context.os.GetModuleHandle(L"kernel32");
    if (kernel32 != 0) lookup.address = context.os.GetProcAddress(kernel32, "IsWow64Process");
    if (lookup.address == 0) {
      context.log.Fact("IsWow64Process", {"not found (error ", context.os.GetLastError(), ")"});
    }
    if (kernel32 == 0) return 0;  // looked up again next time
    lookup.isWow64Process2 = FindLoadedFunction(context, L"kernel32", "IsWow64Process2");
    lookup.getMachineTypeAttributes =
        FindLoadedFunction(context, L"kernel32", "GetMachineTypeAttributes");
    lookup.state = lookup.address != 0 ? Wow64Lookup::State::kPresent : Wow64Lookup::State::kAbsent;
  }
  return lookup.state == Wow64Lookup::State::kPresent ? lookup.address : 0;
}

bool X64CodeRuns(RunContext& context) {
  Dword attributes = 0;
  return context.os.CallGetMachineTypeAttributes(context.wow64.getMachineTypeAttributes,
                                                 kImageFileMachineAmd64, &attributes) == 0 &&
         (attributes & kMachineAttributeUserEnabled) != 0;
}

}  // namespace

bool IsWow64(RunContext& context) {
  ProcAddress isWow64Process = IsWow64ProcessAddress(context);
  bool wow64 = false;
  if (isWow64Process == 0) return false;
  const bool called = context.os.CallIsWow64Process(isWow64Process, &wow64);
  if (!called) {
    context.log.Fact("IsWow64Process", {"failed (error ", context.os.GetLastError(), ")"});
  }
  return called && wow64;
}

MachineArchitecture ReadMachineArchitecture(RunContext& context) {
  MachineArchitecture machine;
  IsWow64ProcessAddress(context);
  Word processMachine = 0;
  machine.nativeKnown = context.wow64.isWow64Process2 != 0 &&
                        context.os.CallIsWow64Process2(context.wow64.isWow64Process2,
                                                       &processMachine, &machine.nativeMachine);
  machine.x64Package = machine.nativeKnown && machine.nativeMachine == kImageFileMachineArm64
                           ? X64CodeRuns(context)
                           : IsWow64(context);
  return machine;
}

}  // namespace boot
