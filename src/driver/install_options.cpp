#include "driver/install_options.h"

#include <vector>

namespace boot {
namespace {

const wchar_t kUninstall[] = L"-uninstall";

wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// _wcsicmp as the C runtime's default locale does it: ASCII letters fold, nothing else.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b) {
  std::wstring other(b);
  if (a.size() != other.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(other[i])) return false;
  }
  return true;
}

class ArgumentReader {
 public:
  ArgumentReader(RunContext& context, std::vector<std::wstring> args, InstallOptions* options)
      : context_(context), args_(std::move(args)), options_(*options) {}

  bool ReadAll(std::wstring* refused) {
    for (index_ = 1; index_ < args_.size(); ++index_) {
      if (ReadOne(args_[index_])) continue;
      if (!IsHelpRequest(args_[index_])) *refused = args_[index_];
      return false;
    }
    // Removal takes none of the options that only installing knows.
    if (options_.uninstall &&
        (options_.csp || options_.selectDlg || options_.reinstall || scriptGiven_)) {
      *refused = kUninstall;
      return false;
    }
    return true;
  }

 private:
  static bool IsHelpRequest(const std::wstring& arg) {
    auto is = [&arg](const wchar_t* name) { return EqualsIgnoringAsciiCase(arg, name); };
    return is(L"-help") || is(L"--help") || is(L"/help") || is(L"-?");
  }

  bool ReadOne(const std::wstring& arg) {
    auto is = [&arg](const wchar_t* name) { return EqualsIgnoringAsciiCase(arg, name); };
    if (IsHelpRequest(arg)) return false;
    if (is(L"-csp")) return options_.csp = true;
    if (is(L"-selectDlg")) return options_.selectDlg = true;
    if (is(L"-silent")) return options_.silent = true;
    if (arg == L"-reinstall") return options_.reinstall = true;
    if (is(L"-norestart")) return options_.noRestart = true;
    if (is(kUninstall)) return options_.uninstall = true;
    std::wstring value;
    if (options_.csp && is(L"-CSPArgs") && TakeValue(&value)) {
      options_.cspArgs += value + L" ";
      return true;
    }
    if (options_.csp && is(L"-KC") && TakeValue(&value)) {
      context_.kcPattern += L"*" + value + L"*";
      return true;
    }
    if (options_.csp && is(L"-Lang") && TakeValue(&value)) {
      context_.langPattern += L"*" + value + L"*";
      return true;
    }
    if (is(L"-QuorlArgs") && TakeValue(&value)) {
      options_.quorlArgs += L" " + value + L" ";
      return true;
    }
    if (is(L"-vbscript") && TakeValue(&value)) {
      options_.vbscript += value;
      return scriptGiven_ = true;
    }
    return is(L"-log") && (options_.logFolderGiven = TakeValue(&options_.logFolder));
  }

  bool TakeValue(std::wstring* value) {
    if (index_ + 1 >= args_.size()) return false;
    *value = args_[++index_];
    return true;
  }

  RunContext& context_;
  std::vector<std::wstring> args_;
  InstallOptions& options_;
  std::size_t index_ = 1;
  bool scriptGiven_ = false;
};

}  // namespace

bool ReadCommandLine(RunContext& context, InstallOptions* options, std::wstring* refused,
                     Dword* splitError) {
  std::vector<std::wstring> args;
  *splitError = kErrorSuccess;
  if (!context.os.CommandLineToArgv(context.os.GetCommandLine(), &args)) {
    const Dword error = context.os.GetLastError();
    *splitError = error != kErrorSuccess ? error : kErrorInvalidCommandLine;
    return true;
  }
  return ArgumentReader(context, std::move(args), options).ReadAll(refused);
}

void RefuseCommandLine(RunContext& context, const InstallOptions& options,
                       const std::wstring& refused) {
  if (refused == kUninstall) {
    context.log.Decision("show the help",
                         "-uninstall with -csp, -selectDlg, -reinstall or -vbscript");
  } else if (!refused.empty()) {
    context.log.UnrecognisedArgument(refused);
  }
  ShowHelpAndExit(context, options.csp);
}

Dword ParseCommandLine(RunContext& context, InstallOptions* options) {
  std::wstring refused;
  Dword splitError = kErrorSuccess;
  if (!ReadCommandLine(context, options, &refused, &splitError)) {
    RefuseCommandLine(context, *options, refused);
  }
  return splitError;
}

}  // namespace boot
