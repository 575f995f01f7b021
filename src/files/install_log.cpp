#include "files/install_log.h"

#include <cwchar>
#include <vector>

#include "run/error_box.h"

namespace boot {
namespace {

// 0 once a new empty file stands at `path`, else the error that kept it from being made.
Dword MakeEmptyFile(RunContext& context, const std::wstring& path) {
  KernelHandle file =
      context.os.CreateFile(path, kGenericWrite, kFileShareRead, kCreateNew, kFileAttributeNormal);
  if (file == 0) return context.os.GetLastError();
  context.os.CloseHandle(file);
  return kErrorSuccess;
}

}  // namespace

Dword ReadTmpFolder(RunContext& context, std::wstring* folder) {
  Dword size = context.os.GetEnvironmentVariable(L"TMP", nullptr, 0);
  std::vector<wchar_t> value(static_cast<std::size_t>(size) + 1, L'\0');
  if (context.os.GetEnvironmentVariable(L"TMP", size ? value.data() : nullptr, size) == 0) {
    // An empty TMP (its size is the terminator alone) names no folder. It reads as 0
    // characters without setting the last error, which still holds what an earlier call
    // left there: its code is 203 whatever that was.
    Dword error = size == 1 ? kErrorEnvVarNotFound : context.os.GetLastError();
    return error != kErrorSuccess ? error : kErrorEnvVarNotFound;
  }
  *folder = value.data();
  return kErrorSuccess;
}

Dword MakeLogPath(RunContext& context, bool silent, const std::wstring& baseName,
                  std::wstring& logPath) {
  std::wstring folder = context.logFolder;
  if (Dword error = folder.empty() ? ReadTmpFolder(context, &folder) : kErrorSuccess) {
    ReportPackageError(context, silent, context.ownerWindow, msg::kEnvironmentVariableUnknown);
    return error;
  }
  logPath = folder + L"\\" + baseName + L"_" + LogTimestamp(context) + L".log";
  return kErrorSuccess;
}

void CreateInstallLog(RunContext& context, std::wstring& logPath) {
  if (logPath.empty()) return;
  // CREATE_NEW follows no link and opens no file that is there; what is there goes first.
  Dword error = MakeEmptyFile(context, logPath);
  if (error != kErrorSuccess && context.os.DeleteFile(logPath)) {
    error = MakeEmptyFile(context, logPath);
  }
  if (error == kErrorSuccess) return;
  context.log.InstallLogNotMade(logPath, error);
  logPath.clear();
}

void RemoveUnusedInstallLog(RunContext& context, const std::wstring& logPath,
                            const ChildResult& child) {
  if (child.started || logPath.empty()) return;
  context.os.DeleteFile(logPath);
}

std::wstring LocalTimestamp(RunContext& context) {
  std::tm local{};
  context.os.LocalTime(context.os.Time(), &local);
  wchar_t text[80] = {};
  std::wcsftime(text, 80, L"%Y-%m-%d-%H-%M-%S", &local);
  return text;
}

std::wstring LogTimestamp(RunContext& context) {
  std::wstring text = LocalTimestamp(context);
  context.os.PutWs(text);
  return text;
}

std::wstring FileNameOf(const std::wstring& path) {
  auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace boot
