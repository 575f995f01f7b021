#include "driver/install_sequence.h"

#include <vector>

#include "csp/csp_setup_dialog.h"
#include "csp/install_csp.h"
#include "driver/environment_checks.h"
#include "driver/install_options.h"
#include "driver/release_files.h"
#include "driver/visibility.h"
#include "lifetime/run_lifetime.h"
#include "package/install_plugin.h"
#include "package/uninstall_plugin.h"
#include "restart/restart_computer.h"
#include "restart/restart_marker.h"
#include "run/box_styles.h"
#include "run/child_process.h"
#include "run/exit_codes.h"
#include "run/failure_report.h"
#include "run/message_box.h"
#include "run/messages.h"
#include "wait/single_run.h"

namespace boot {
namespace {

class InstallSequence {
 public:
  explicit InstallSequence(RunContext& context) : context_(context) {}

  Dword Run(const std::wstring& commandTail) {
    CreateOwnerWindow();
    // The command line is judged before -log makes any folder; its log then starts there.
    std::wstring refusedArgument;
    Dword splitError = kErrorSuccess;
    const bool valid =
        commandTail.empty() || ReadCommandLine(context_, &options_, &refusedArgument, &splitError);
    const Dword logFolderError =
        StartRunLog(context_, valid && options_.logFolderGiven ? &options_.logFolder : nullptr);
    RemoveStaleRestartMarker(context_);
    DecideVisibility(context_);
    if (splitError != kErrorSuccess) {
      context_.log.Decision("end the run",
                            {"the command line cannot be split (error ", splitError, ")"});
      return splitError;
    }
    if (!valid) RefuseCommandLine(context_, options_, refusedArgument);
    options_.silent = options_.silent || context_.nobodyCanSee;
    LogOptions();
    caption_ = LoadMessage(context_, options_.csp ? msg::kCspCaption : msg::kPluginCaption);
    if (logFolderError != kErrorSuccess) return RefuseLogFolder();
    if (Dword refused = CheckAdministrator(context_, options_.silent, caption_)) return refused;
    if (Dword refused = CheckWindowsRelease(context_, options_.silent)) return refused;
    context_.os.MsiSetInternalUI(kInstallUiLevelNone);
    if (!Confirmed()) return kExitSuccess;
    if (Dword busy = TakeRunMutex(context_)) return ReportPluginFailure(busy, L"");
    if (Dword refused = CheckReleaseFiles(context_, options_.silent, options_.csp)) return refused;
    if (options_.csp) {
      if (options_.selectDlg && !options_.silent) ShowCspSetupDialog(context_);
      Dword cspResult = InstallCspPackage(context_, options_.silent, options_.reinstall, kCspFolder,
                                          options_.cspArgs);
      if (cspResult != 0) return cspResult;
    }
    RunScript();
    std::wstring logPath;
    Dword result = options_.uninstall
                       ? UninstallPlugin(context_, options_.silent, logPath, options_.quorlArgs)
                       : InstallPlugin(context_, options_.silent, logPath, options_.quorlArgs,
                                       options_.reinstall);
    if (result == kErrorInstallUserExit || result == kErrorProductVersion) return result;
    if (result != 0) return ReportPluginFailure(result, logPath);
    return FinishWithRestartDecision();
  }

 private:
  void CreateOwnerWindow() {
    context_.ownerWindow = context_.os.CreateWindowEx(0, L"STATIC", L"", kWsDisabled, kCwUseDefault,
                                                      0, kCwUseDefault, 0);
  }

  void LogOptions() {
    context_.log.Options({{"-silent", options_.silent},
                          {"-norestart", options_.noRestart},
                          {"-reinstall", options_.reinstall},
                          {"-csp", options_.csp},
                          {"-selectDlg", options_.selectDlg},
                          {"-uninstall", options_.uninstall}},
                         {{"-QuorlArgs", &options_.quorlArgs},
                          {"-CSPArgs", &options_.cspArgs},
                          {"-vbscript", &options_.vbscript},
                          {"-log", &options_.logFolder}});
  }

  // Which of the run's three kinds of text: plug-in, CSP and plug-in, or removal.
  Word MessageOfRun(Word plugin, Word cspAndPlugin, Word removal) const {
    return options_.uninstall ? removal : options_.csp ? cspAndPlugin : plugin;
  }

  Dword RefuseLogFolder() {
    ShowBox(
        context_, options_.silent, context_.ownerWindow, msg::kLogFolderUnwritable,
        FillPlaceholders(LoadMessage(context_, msg::kLogFolderUnwritable), {options_.logFolder}),
        LoadMessage(context_, msg::kErrorCaption), kErrorBox);
    return kExitLogFolderUnwritable;
  }

  // A question answered Yes when the run is silent; other boxes are only skipped then.
  int Show(Word messageId, const std::wstring& text, Dword style) {
    return ShowBox(context_, options_.silent, context_.ownerWindow, messageId, text, caption_,
                   style, (style & kMbYesNo) != 0 ? kIdYes : kIdOk);
  }

  int Show(Word messageId, Dword style) {
    return Show(messageId, LoadMessage(context_, messageId), style);
  }

  Dword ReportPluginFailure(Dword result, const std::wstring& logPath) {
    const Word report =
        options_.uninstall ? msg::kPluginUninstallFailed : msg::kPluginInstallFailed;
    Show(report, BuildFailureReport(context_, report, result, logPath), kErrorBox);
    return result;
  }

  bool Confirmed() {
    return Show(MessageOfRun(msg::kInstallPluginQuestion, msg::kInstallCspAndPluginQuestion,
                             msg::kUninstallPluginQuestion),
                kQuestionBox) != kIdNo;
  }

  // The script runs through wscript.exe; its exit code and any start error are ignored. Where
  // nobody can see, in batch mode: Windows Script Host then shows no error box and no prompt.
  void RunScript() {
    if (options_.vbscript.empty()) return;
    std::vector<wchar_t> windows;
    Dword length = context_.os.GetWindowsDirectory(&windows, kMaxPath);
    if (length == 0) return;
    std::wstring folder(windows.data());
    RunAndWait(context_, folder + L"\\System32\\wscript.exe " +
                             (context_.nobodyCanSee ? L"//B //NoLogo " : L"") + options_.vbscript);
  }

  Dword FinishWithRestartDecision() {
    bool restartPending = RestartMarkerPresent(context_);
    if (!restartPending || options_.noRestart) {
      if (restartPending) context_.log.RestartMarker("kept for a later run (-norestart)");
      Show(MessageOfRun(msg::kPluginInstalled, msg::kCspAndPluginInstalled, msg::kPluginRemoved),
           kPlainBox);
      return kExitSuccess;
    }
    Word question = MessageOfRun(msg::kPluginRestartQuestion, msg::kCspAndPluginRestartQuestion,
                                 msg::kPluginRemovedRestartQuestion);
    Dword error = kErrorSuccess;
    // The marker goes once the restart is declined or under way; a restart that Windows
    // refuses is still pending, for a later run or for whoever reads the key.
    if (Show(question, kWarningQuestionBox) != kIdYes || RestartComputer(context_, &error)) {
      DeleteRestartMarker(context_);
      return kExitSuccess;
    }
    context_.log.RestartMarker("kept: the restart is still pending");
    return EndAfterRefusedRestart(ReadRestartRefusal(error));
  }

  // A restart that Windows postpones or that is already under way is no failed installation.
  Dword EndAfterRefusedRestart(RestartRefusal refusal) {
    if (refusal == RestartRefusal::kAlreadyUnderWay) {
      context_.log.Decision("end the run, a restart under way", "Windows is already shutting down");
      return kExitSuccess;
    }
    if (refusal == RestartRefusal::kPostponed) {
      context_.log.Decision("end the run with 3010, the restart pending",
                            "Windows restarts later: users are logged on, or a shutdown is "
                            "scheduled; restart the computer by hand");
      return kExitRestartPending;
    }
    Show(msg::kRestartFailed, kPlainBox);
    return kExitRestartFailed;
  }

  RunContext& context_;
  InstallOptions options_;
  std::wstring caption_;
};

}  // namespace

Dword RunInstallSequence(RunContext& context, const std::wstring& commandTail) {
  Dword exitCode = InstallSequence(context).Run(commandTail);
  EndRun(context, exitCode);
  return exitCode;
}

}  // namespace boot
