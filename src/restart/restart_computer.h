// restart/: the pending restart: its marker, the machine's start, and the restart itself.
// The restart of Windows once an installation has asked for it.
#pragma once

#include "run/run_context.h"

namespace boot {

// Who runs the program, as its token tells.
struct RunningAccount {
  bool localSystem = false;  // the token's user is S-1-5-18
  bool sessionKnown = false;
  Dword sessionId = 0;
};

enum class RestartCall { kExitWindowsEx, kInitiateShutdown, kInitiateSystemShutdownEx };

// ExitWindowsEx acts on the caller's logon session: called by LocalSystem or from a session
// without a user (session 0 from Windows Vista on; before, session 0 is the console's), it
// may succeed while nothing restarts. Such runs ask with the system shutdown call of their
// release instead; an interactive run keeps ExitWindowsEx.
RestartCall ChooseRestartCall(const RunningAccount& account, Dword majorVersion);

// Every restart the program asks for is recorded by Windows as planned, for an installation.
constexpr Dword kPlannedInstallationRestart =
    kShtdnReasonFlagPlanned | kShtdnReasonMajorApplication | kShtdnReasonMinorInstallation;

// Asks Windows to restart; true when the request was accepted. When it was not, `error` and
// the log hold Windows' error.
bool RestartComputer(RunContext& context, Dword* error);

// What a refused restart means for a run whose installation is done.
enum class RestartRefusal {
  kAlreadyUnderWay,  // ERROR_SHUTDOWN_IN_PROGRESS: Windows is already shutting down
  kPostponed,        // ERROR_SHUTDOWN_USERS_LOGGED_ON, ERROR_SHUTDOWN_IS_SCHEDULED: still pending
  kFailed,
};
RestartRefusal ReadRestartRefusal(Dword error);

}  // namespace boot
