// wait/: waiting for other installations: one run at a time, Windows Installer busy, and the
// budget those waits share.
// One run of the program at a time on the machine. A Group Policy start-up script and a
// deployment engine, or an engine and a person, may start it together; two runs would both
// decide "fresh install" and both start msiexec on the same package.
#pragma once

#include "run/run_context.h"

namespace boot {

// The mutex every release takes, in the namespace that all sessions share.
constexpr const wchar_t* kRunMutexName = L"Global\\StalverBrowserPluginBootstrapper";

// Takes the run's mutex, waiting within the wait budget while another run holds it; a mutex
// that cannot be made is opened to wait on. Returns 0 when taken, also when it can be neither
// made nor opened (the run then goes on as runs did before, and the log gives both errors),
// or 1618 when the budget ran out.
Dword TakeRunMutex(RunContext& context);

// Gives it back, at the end of the run.
void ReleaseRunMutex(RunContext& context);

}  // namespace boot
