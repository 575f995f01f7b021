#include "driver/install_sequence.h"

#include <vector>

#include "csp/csp_setup_dialog.h"
#include "csp/install_csp.h"
#include "driver/environment_checks.h"
#include "driver/install_options.h"
#include "driver/restart.h"
#include "package/install_plugin.h"
#include "run/box_styles.h"
#include "run/child_process.h"
#include "run/exit_codes.h"
#include "run/failure_report.h"
#include "run/messages.h"
#include "run/restart_marker.h"

namespace boot {
namespace {

class InstallSequence {
 public:
  explicit InstallSequence(RunContext& context) : context_(context) {}

  Dword Run(const std::wstring& commandTail) {
    CreateOwnerWindow();
    if (!commandTail.empty()) ParseCommandLine(context_, &options_);
    caption_ = LoadMessage(context_, options_.csp ? msg::kCspCaption : msg::kPluginCaption);
    if (Dword refused = CheckAdministrator(context_, options_.silent, caption_)) return refused;
    if (Dword refused = CheckWindowsRelease(context_, options_.silent)) return refused;
    context_.os.MsiSetInternalUI(kInstallUiLevelNone);
    if (!Confirmed()) return kExitSuccess;
    if (options_.csp) {
      if (options_.selectDlg && !options_.silent) ShowCspSetupDialog(context_);
      Dword cspResult = InstallCspPackage(context_, options_.silent, options_.reinstall, L"csp",
                                          options_.cspArgs);
      if (cspResult != 0) return cspResult;
    }
    RunScript();
    std::wstring logPath;
    Dword result =
        InstallPlugin(context_, options_.silent, logPath, options_.quorlArgs, options_.reinstall);
    if (result == kErrorInstallUserExit || result == kErrorProductVersion) return result;
    if (result != 0) {
      Show(BuildFailureReport(context_, msg::kPluginInstallFailed, result, logPath), kErrorBox);
      return result;
    }
    return FinishWithRestartDecision();
  }

 private:
  void CreateOwnerWindow() {
    context_.ownerWindow = context_.os.CreateWindowEx(0, L"STATIC", L"", kWsDisabled, kCwUseDefault,
                                                      0, kCwUseDefault, 0);
  }

  int Show(const std::wstring& text, Dword style) {
    if (options_.silent) return 0;
    return context_.os.MessageBox(context_.ownerWindow, text, caption_, style);
  }

  bool Confirmed() {
    Word question = options_.csp ? msg::kInstallCspAndPluginQuestion : msg::kInstallPluginQuestion;
    return Show(LoadMessage(context_, question), kQuestionBox) != kIdNo;
  }

  // The script runs through wscript.exe; its exit code and any start error are ignored.
  void RunScript() {
    if (options_.vbscript.empty()) return;
    std::vector<wchar_t> windows;
    Dword length = context_.os.GetWindowsDirectory(&windows, kMaxPath);
    if (length == 0) return;
    std::wstring folder(windows.data());
    RunAndWait(context_, folder + L"\\System32\\wscript.exe " + options_.vbscript);
  }

  Dword FinishWithRestartDecision() {
    if (!RestartMarkerPresent(context_) || options_.noRestart) {
      Show(
          LoadMessage(context_, options_.csp ? msg::kCspAndPluginInstalled : msg::kPluginInstalled),
          kPlainBox);
      return kExitSuccess;
    }
    DeleteRestartMarker(context_);
    Word question = options_.csp ? msg::kCspAndPluginRestartQuestion : msg::kPluginRestartQuestion;
    std::wstring text = LoadMessage(context_, question);
    if (!options_.silent && Show(text, kWarningQuestionBox) != kIdYes) return kExitSuccess;
    if (RestartComputer(context_)) return kExitSuccess;
    Show(LoadMessage(context_, msg::kRestartFailed), kPlainBox);
    return kExitRestartFailed;
  }

  RunContext& context_;
  InstallOptions options_;
  std::wstring caption_;
};

}  // namespace

Dword RunInstallSequence(RunContext& context, const std::wstring& commandTail) {
  return InstallSequence(context).Run(commandTail);
}

}  // namespace boot
