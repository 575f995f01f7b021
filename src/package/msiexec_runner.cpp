#include "package/msiexec_runner.h"

#include <algorithm>
#include <vector>

#include "command_text/installer_options.h"
#include "files/install_log.h"
#include "package/msiexec_command.h"
#include "package/package_search.h"
#include "package/source_hash.h"
#include "restart/restart_marker.h"
#include "run/child_process.h"
#include "run/error_box.h"
#include "run/windows_release.h"
#include "wait/installer_busy.h"

namespace boot {
namespace {

constexpr Dword kSystemDirectoryPassedChars = kMaxPath - 1;

Dword ReadSystemDirectory(RunContext& context, bool silent, std::wstring* systemDirectory) {
  std::vector<wchar_t> buffer(kMaxPath, L'\0');
  if (context.os.GetSystemDirectory(&buffer, kSystemDirectoryPassedChars) == 0) {
    Dword error = context.os.GetLastError();
    ReportPackageError(context, silent, context.ownerWindow, msg::kSystemDirectoryUnknown);
    return error;
  }
  if (buffer.size() < kMaxPath) buffer.resize(kMaxPath, L'\0');
  buffer[kMaxPath - 1] = L'\0';
  systemDirectory->assign(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
  return kErrorSuccess;
}

// Registers the new package's file name for the installed product, so that Windows
// Installer accepts it as the product's source.
void PointSourceListAt(RunContext& context, const std::wstring& installedProductCode,
                       const std::wstring& packageFileName) {
  context.os.MsiSourceListClearAll(installedProductCode, 0);
  context.os.MsiSourceListSetInfo(installedProductCode, kMsiInstallContextMachine, kMsiCodeProduct,
                                  L"PackageName", packageFileName);
  if (IsNt5Release(context, 2) || IsNt5Release(context, 1)) {
    DeleteSourceHash(context, installedProductCode);
  }
}

// msiexec that meets another installation (1618) is started again while the run may wait.
ChildResult RunMsiexecChild(RunContext& context, const std::wstring& commandLine) {
  ChildResult msiexec = RunChild(context, commandLine);
  while (msiexec.exited && msiexec.code == kErrorInstallAlreadyRunning &&
         ReadyToTryInstallAgain(context)) {
    msiexec = RunChild(context, commandLine);
  }
  return msiexec;
}

// The log named (unless the arguments hold a log option) and made, the system directory
// read: msiexec's command line for `operation` on `target`, or the failing step's code.
Dword BuildCommand(RunContext& context, bool silent, std::wstring& logPath,
                   const std::wstring& logBaseName, const wchar_t* operation,
                   const std::wstring& target, const std::wstring& userArgs,
                   std::wstring* commandLine) {
  std::wstring msiexecArgs = L" REBOOT=R " + userArgs;
  if (!HoldsLogOption(msiexecArgs)) {
    Dword named = MakeLogPath(context, silent, logBaseName, logPath);
    if (named != kErrorSuccess) return named;
  }
  std::wstring systemDirectory;
  Dword read = ReadSystemDirectory(context, silent, &systemDirectory);
  if (read != kErrorSuccess) return read;
  CreateInstallLog(context, logPath);
  if (!logPath.empty()) msiexecArgs = LogOption(logPath) + msiexecArgs;
  *commandLine = BuildMsiexecCommandLine(systemDirectory, operation, target, msiexecArgs);
  return kErrorSuccess;
}

// msiexec's exit code or start error; a restart request becomes the restart marker and 0.
Dword RunCommand(RunContext& context, const std::wstring& logPath,
                 const std::wstring& commandLine) {
  ChildResult msiexec = RunMsiexecChild(context, commandLine);
  RemoveUnusedInstallLog(context, logPath, msiexec);
  Dword code = msiexec.code;
  if (!msiexec.exited || !IsRestartRequest(code)) return code;
  context.log.Decision("success, restart pending", "msiexec asked for a restart");
  CreateRestartMarker(context);
  return kErrorSuccess;
}

}  // namespace

Dword RunMsiexec(RunContext& context, bool silent, std::wstring& logPath,
                 const std::wstring& installedProductCode, const std::wstring& pluginPattern,
                 const std::wstring& msiexecArgs) {
  std::wstring packagePath;
  Dword found = FindPackageFile(context, pluginPattern, &packagePath);
  if (found != kErrorSuccess) {
    ReportPackageError(context, silent, context.ownerWindow, msg::kPackageNotFound);
    return found;
  }
  std::wstring packageFileName = FileNameOf(packagePath);
  std::wstring commandLine;
  Dword built = BuildCommand(context, silent, logPath, packageFileName, L"/i", packagePath,
                             msiexecArgs, &commandLine);
  if (built != kErrorSuccess) return built;
  PointSourceListAt(context, installedProductCode, packageFileName);
  return RunCommand(context, logPath, commandLine);
}

Dword RemoveProduct(RunContext& context, bool silent, std::wstring& logPath,
                    const std::wstring& productCode, const std::wstring& msiexecArgs) {
  std::wstring commandLine;
  Dword built = BuildCommand(context, silent, logPath, L"quorlcom-uninstall_" + productCode, L"/x",
                             productCode, msiexecArgs, &commandLine);
  return built != kErrorSuccess ? built : RunCommand(context, logPath, commandLine);
}

}  // namespace boot
