#include "restart/machine_start.h"

#include <vector>

#include "run/system_function.h"

namespace boot {
namespace {

constexpr std::uint64_t kFileTimePerMillisecond = 10000;
// SYSTEM_TIMEOFDAY_INFORMATION as Windows 2000 and XP have it; the start time comes first.
constexpr Dword kSystemTimeOfDayInformation = 3;
constexpr std::size_t kTimeOfDayInformationSize = 32;

// GetTickCount64 exists from Windows Vista on. GetTickCount would wrap after 49.7 days.
bool ReadFromTickCount64(RunContext& context, std::uint64_t* startTime) {
  const ProcAddress tickCount64 = FindLoadedFunction(context, L"kernel32.dll", "GetTickCount64");
  std::uint64_t milliseconds = 0;
  if (!context.os.CallGetTickCount64(tickCount64, &milliseconds)) return false;
  *startTime = context.os.GetSystemTimeAsFileTime() - milliseconds * kFileTimePerMillisecond;
  return true;
}

// Before Vista: the start time that the kernel keeps.
bool ReadFromKernel(RunContext& context, std::uint64_t* startTime) {
  const ProcAddress query = FindLoadedFunction(context, L"ntdll.dll", "NtQuerySystemInformation");
  std::vector<std::uint8_t> information(kTimeOfDayInformationSize, 0);
  if (query == 0 || context.os.CallNtQuerySystemInformation(query, kSystemTimeOfDayInformation,
                                                            &information) != 0) {
    return false;
  }
  std::uint64_t time = 0;
  for (int byte = 7; byte >= 0; --byte) time = (time << 8) | information[byte];
  *startTime = time;
  return time != 0;
}

}  // namespace

bool ReadMachineStartTime(RunContext& context, std::uint64_t* startTime) {
  return ReadFromTickCount64(context, startTime) || ReadFromKernel(context, startTime);
}

}  // namespace boot
