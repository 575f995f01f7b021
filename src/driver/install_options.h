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
  bool uninstall = false;       // remove every installed product of the plug-in's UpgradeCode
  std::wstring cspArgs;         // each value followed by one blank
  std::wstring quorlArgs;       // each value with one blank before and one after
  std::wstring vbscript;        // values appended directly
  bool logFolderGiven = false;  // -log: every log of the run goes to logFolder, not TMP
  std::wstring logFolder;       // the last value given
};

// Fills `options` from the full process command line, and acts on nothing. False when the
// help is due: an unrecognised argument (named in `refused`; empty for a help request), a
// CSP option before "-csp", a value option without its value, or "-uninstall" beside
// -csp, -selectDlg, -reinstall or -vbscript (`refused` is then "-uninstall", which is never
// unrecognised). A command line that cannot be split sets nothing and gives its error in
// `splitError` (else 0): the options it holds are unknown, and a run that went on with the
// defaults would ask questions where -silent may have been given.
bool ReadCommandLine(RunContext& context, InstallOptions* options, std::wstring* refused,
                     Dword* splitError);

// Logs why the help is due, then shows it (ShowHelpAndExit).
[[noreturn]] void RefuseCommandLine(RunContext& context, const InstallOptions& options,
                                    const std::wstring& refused);

// ReadCommandLine, then RefuseCommandLine when the help is due; the split error, or 0.
Dword ParseCommandLine(RunContext& context, InstallOptions* options);

// The help text; the four CSP lines only when `csp` is on.
std::wstring HelpText(bool csp);

// Shows the help box and ends the process with exit code 0; ends it with 1639 at once when
// nobody can see the box.
[[noreturn]] void ShowHelpAndExit(RunContext& context, bool csp);

}  // namespace boot
