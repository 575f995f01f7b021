// What one run of the bootstrapper shares between its steps: the platform, the hidden
// owner window of the message boxes, the run's log, and the few process-wide values.
#pragma once

#include <string>
#include <vector>

#include "log/run_log.h"
#include "platform/platform.h"

namespace boot {

// Where IsWow64Process was found, remembered for the rest of the run; with it IsWow64Process2
// (from Windows 10) and GetMachineTypeAttributes (from Windows 11), 0 where absent.
struct Wow64Lookup {
  enum class State { kNotLookedUp, kAbsent, kPresent };
  State state = State::kNotLookedUp;
  ProcAddress address = 0;
  ProcAddress isWow64Process2 = 0;
  ProcAddress getMachineTypeAttributes = 0;
};

// The time a run may spend, in all, waiting for other installations to end: another run of
// the program, Windows Installer busy elsewhere, pauses before msiexec is tried again. Well
// under the 600 s after which Group Policy ends a start-up script. Waits for the run's own
// children are not counted: they have no limit.
constexpr Dword kWaitBudgetMilliseconds = 300000;
// A package search of a release build, fixed when the release's files were checked.
struct PinnedSearch {
  std::wstring pattern;
  Dword result = 0;
  std::wstring path;
};

// A release's copy of the CSP's files, checked as it was written; its Setup.exe runs from it.
struct CspCopy {
  std::wstring folder;  // holds csp\; empty: none (a build that is not a release, or no -csp)
  bool madeByThisRun = false;
  bool kept = false;  // the CSP step succeeded: it stays, as the CSP's installation source
};

struct RunContext {
  explicit RunContext(Platform& platform) : os(platform), log(platform) {}

  Platform& os;
  RunLog log;
  WindowHandle ownerWindow = 0;
  // The security level and language chosen on the command line or in the CSP dialog,
  // as wildcard texts. Gathered for the CSP installation; nothing reads them yet.
  std::wstring kcPattern;
  std::wstring langPattern;
  Wow64Lookup wow64;
  // Nobody can see the run's windows (a window station that is not visible, or session 0):
  // decided once at start. No box is shown then, and msiexec gets no interface.
  bool nobodyCanSee = false;
  // The full path of the folder that -log named: every log of the run goes there, not to TMP.
  std::wstring logFolder;
  Dword waitBudget = kWaitBudgetMilliseconds;  // what is left of it
  KernelHandle runMutex = 0;                   // held from when it is taken to the end
  // A release build's files, checked and held open, for reading only, until the process
  // ends, so that nothing can be put in their place; and its package searches since then.
  std::vector<KernelHandle> releaseFiles;
  bool pinSearches = false;
  std::vector<PinnedSearch> pinnedSearches;
  CspCopy cspCopy;
};

}  // namespace boot
