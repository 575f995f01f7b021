// restart/: the pending restart: its marker, the machine's start, and the restart itself.
// When the machine started, which tells a restart that happened since from one still pending.
#pragma once

#include <cstdint>

#include "run/run_context.h"

namespace boot {

// FILETIME units (100 ns) per second.
constexpr std::uint64_t kFileTimeSecond = 10000000;

// The machine's start as a FILETIME (UTC): now less the time since the start. False when
// Windows cannot tell it.
bool ReadMachineStartTime(RunContext& context, std::uint64_t* startTime);

}  // namespace boot
