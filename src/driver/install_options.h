// The run options, read from the process command line.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

struct InstallOptions {
  bool silent = false;
  bool noRestart = false;
  bool reinstall = false;
  bool csp = false;
  bool selectDlg = false;
  std::wstring cspArgs;    // each value followed by one blank
  std::wstring quorlArgs;  // each value with one blank before and one after
  std::wstring vbscript;   // values appended directly
};

// Fills `options` from the full process command line. An unrecognised argument, a CSP
// option before "-csp" or a value option without its value shows the help and ends the
// process with 0 (with 1639 when nobody can see). A command line that cannot be split sets
// nothing and gives the error: the options it holds are unknown, and a run that went on with
// the defaults would ask questions where -silent may have been given.
Dword ParseCommandLine(RunContext& context, InstallOptions* options);

// The help text; the four CSP lines only when `csp` is on.
std::wstring HelpText(bool csp);

// Shows the help box and ends the process with exit code 0; ends it with 1639 at once when
// nobody can see the box.
[[noreturn]] void ShowHelpAndExit(RunContext& context, bool csp);

}  // namespace boot
