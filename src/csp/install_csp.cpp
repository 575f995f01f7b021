#include "csp/install_csp.h"

#include "cache/csp_copy.h"
#include "command_text/installer_options.h"
#include "csp/csp_command_line.h"
#include "files/install_log.h"
#include "files/program_folder.h"
#include "log/secret_values.h"
#include "restart/restart_marker.h"
#include "run/box_styles.h"
#include "run/child_process.h"
#include "run/exit_codes.h"
#include "run/failure_report.h"
#include "run/message_box.h"
#include "run/messages.h"
#include "run/unseen_ui.h"
#include "wait/installer_busy.h"

namespace boot {
namespace {

// Exit codes of Setup.exe after which the run goes on: done, its own codes 3 and 4, and
// an installation the user cancelled.
bool SetupLetsTheRunGoOn(Dword exitCode) {
  return exitCode == 0 || exitCode == 3 || exitCode == 4 || exitCode == kErrorInstallUserExit;
}

}  // namespace

void ReportCspFailure(RunContext& context, bool silent, Dword result, const std::wstring& logPath) {
  ShowBox(context, silent, context.ownerWindow, msg::kCspInstallFailed,
          BuildFailureReport(context, msg::kCspInstallFailed, result, logPath),
          LoadMessage(context, msg::kCspCaption), kErrorBox);
}

Dword CspSetupPath(RunContext& context, const std::wstring& cspFolder, std::wstring* path) {
  std::wstring folder = context.cspCopy.folder + L"\\";
  if (context.cspCopy.folder.empty()) {
    if (Dword error = ProgramFolder(context, &folder)) return error;
  }
  *path = folder + cspFolder + L"\\Setup.exe";
  return kErrorSuccess;
}

Dword InstallCspPackage(RunContext& context, bool silent, bool reinstall,
                        const std::wstring& cspFolder, std::wstring cspArgs) {
  std::wstring logPath;
  cspArgs = OptionsForThisDesktop(context, cspArgs);
  if (Dword busy = WaitWhileInstallerBusy(context)) {
    ReportCspFailure(context, silent, busy, logPath);
    return busy;
  }
  if (!HoldsLogOption(cspArgs)) {
    if (Dword error = MakeLogPath(context, silent, cspFolder, logPath)) return error;
  }
  CreateInstallLog(context, logPath);
  // Setup.exe's own reading of the quotes around -args is unknown: the log shows the command
  // line built from masked options.
  auto commandLine = [&](const std::wstring& options) {
    return BuildCspCommandLine(cspFolder, options, logPath, silent, reinstall,
                               context.nobodyCanSee);
  };
  // A release's Setup.exe runs from its checked copy, which the relative path then names.
  ChildStart start{L"", context.cspCopy.folder, commandLine(MaskSecretValues(cspArgs))};
  ChildResult setup{false, false, CspSetupPath(context, cspFolder, &start.applicationName)};
  if (setup.code == kErrorSuccess) setup = RunChild(context, commandLine(cspArgs), start);
  RemoveUnusedInstallLog(context, logPath, setup);
  // Started by its full path, a Setup.exe whose folder is missing fails with 3, which is also
  // the exit code for Windows 2000 below SP4: it is reported as missing (2), as a lone file is.
  if (!setup.started && setup.code == kErrorPathNotFound) setup.code = kErrorFileNotFound;
  // Setup.exe's 1641: Windows is already shutting down, and would cut off what started now.
  if (setup.exited && setup.code == kErrorSuccessRebootInitiated) {
    context.log.Decision("end the run, restart pending",
                         "the CSP's Setup.exe installed it and started a restart");
    CreateRestartMarker(context);
    KeepCspCopy(context);
    return kExitRestartStarted;
  }
  if (setup.exited && IsRestartRequest(setup.code)) {
    context.log.Decision("go on to the plug-in, restart pending",
                         "the CSP's Setup.exe installed it and asked for a restart");
    CreateRestartMarker(context);
    KeepCspCopy(context);
    return kErrorSuccess;
  }
  // Only Setup.exe's own exit codes can let the run go on: a start error such as 3 or 4, or
  // an exit code that could not be read, is a failure even where the number is harmless.
  if (setup.exited && SetupLetsTheRunGoOn(setup.code)) {
    context.log.Decision("go on to the plug-in", "the CSP's Setup.exe let the run go on");
    KeepCspCopy(context);
    return kErrorSuccess;
  }
  context.log.Decision("end the run", "the CSP installation failed");
  ReportCspFailure(context, silent, setup.code, logPath);
  return setup.code;
}

}  // namespace boot
