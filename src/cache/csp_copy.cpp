#include "cache/csp_copy.h"

#include <vector>

#include "files/file_search.h"
#include "log/decimal_text.h"

namespace boot {
namespace {

const wchar_t kRecordKey[] = L"SOFTWARE\\StalverBrowserPluginBootstrapper";
const wchar_t kRecord[] = L"CspSource";
const wchar_t kFolderPrefix[] = L"\\StalverBootstrapper.";
// SYSTEM and the administrators have full control of the folder and all below it; users may
// read and run. Protected: nothing comes from %ProgramData%, where users may create files.
const wchar_t kCopyAccess[] =
    L"D:PAI(A;;FA;;;SY)(A;OICIIO;GA;;;SY)(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
    L"(A;OICIIO;GRGX;;;BU)";
constexpr Dword kRecordChars = kMaxPath + 1;
// A name that someone made first is passed over for the next: they cannot all be made first.
constexpr Dword kNameTries = 16;

std::wstring RecordedCopy(RunContext& context) {
  RegKey key = 0;
  std::vector<wchar_t> text;
  Dword type = 0;
  Dword size = kRecordChars * sizeof(wchar_t);
  if (context.os.RegOpenKeyEx(kHkeyLocalMachine, kRecordKey, 0, kKeyRead | kKeyWow64_32Key, &key) !=
      0) {
    return L"";
  }
  const bool read =
      context.os.RegQueryValueEx(key, kRecord, &type, &text, &size) == 0 && type == kRegSz;
  context.os.RegCloseKey(key);
  text.push_back(L'\0');  // a value stored without its terminator
  return read ? text.data() : L"";
}

void RecordCopy(RunContext& context, const std::wstring& folder) {
  RegKey key = 0;
  if (context.os.RegCreateKeyEx(kHkeyLocalMachine, kRecordKey, kRegOptionNonVolatile,
                                kKeyRead | kKeyWrite | kKeyWow64_32Key, &key, nullptr) != 0) {
    return;
  }
  context.os.RegSetValueEx(key, kRecord, folder);
  context.os.RegCloseKey(key);
}

// Removes the folder and all below it; a link inside is removed, never followed.
void RemoveTree(RunContext& context, const std::wstring& folder) {
  {
    FileSearch search(context, folder + L"\\*");
    while (search.Found()) {
      const FindData& entry = search.Entry();
      const std::wstring path = folder + L"\\" + entry.fileName;
      if ((entry.attributes & kFileAttributeDirectory) == 0) {
        context.os.DeleteFile(path);
      } else if (entry.fileName != L"." && entry.fileName != L"..") {
        if ((entry.attributes & kFileAttributeReparsePoint) == 0) RemoveTree(context, path);
        context.os.RemoveDirectory(path);
      }
      if (!search.Next()) break;
    }
  }
  context.log.CspCopyFolder(context.os.RemoveDirectory(folder) ? "removed" : "could NOT be removed",
                            {folder});
}

}  // namespace

Dword OpenCspCopy(RunContext& context, const std::wstring& releaseId) {
  CspCopy& copy = context.cspCopy;
  const std::wstring recorded = RecordedCopy(context);
  const std::wstring ofRelease = kFolderPrefix + releaseId + L".";
  const Dword attributes = context.os.GetFileAttributes(recorded);
  if (recorded.find(ofRelease) != std::wstring::npos && attributes != kInvalidFileAttributes &&
      (attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) ==
          kFileAttributeDirectory) {
    copy.folder = recorded;
    context.log.CspCopyFolder(
        "taken: recorded for this release; a file it holds was checked as it was copied",
        {recorded});
    return kErrorSuccess;
  }
  std::wstring base;
  Dword error = kErrorAlreadyExists;
  if (Long failed = context.os.GetFolderPath(kCsidlCommonAppData, &base)) {
    error = static_cast<Dword>(failed) & 0xFFFF;  // a Win32 error as an HRESULT
  }
  for (Dword attempt = 0; base.size() != 0 && attempt < kNameTries && error == kErrorAlreadyExists;
       ++attempt) {
    const std::wstring folder = base + ofRelease + DecimalText(context.os.GetTickCount() + attempt);
    if (context.os.CreateDirectory(folder, kCopyAccess)) {
      copy.folder = folder;
      copy.madeByThisRun = true;
      context.log.CspCopyFolder("made", {folder});
      return kErrorSuccess;
    }
    error = context.os.GetLastError();
  }
  context.log.CspCopyFolder("could NOT be made", {base, ofRelease, " (error ", error, ")"});
  return error;
}

std::wstring CopyIntoCspCopy(RunContext& context, FileDigester& digester,
                             const std::wstring& programFolder, const std::wstring& relative,
                             const std::wstring& expected) {
  const std::wstring target = context.cspCopy.folder + L"\\" + relative;
  // Only SYSTEM and the administrators write there, and the file was checked as it was copied.
  const Dword there = context.os.GetFileAttributes(target);
  if (!context.cspCopy.madeByThisRun && there != kInvalidFileAttributes &&
      (there & kFileAttributeDirectory) == 0) {
    return expected;
  }
  for (std::size_t slash = target.find(L'\\', context.cspCopy.folder.size() + 1);
       slash != std::wstring::npos; slash = target.find(L'\\', slash + 1)) {
    if (!context.os.CreateDirectory(target.substr(0, slash), L"") &&
        context.os.GetLastError() != kErrorAlreadyExists) {
      return Nothing(L"the copy's folder cannot be made", context.os.GetLastError());
    }
  }
  // Read sharing only: nobody writes the original while it is copied.
  const KernelHandle original = context.os.CreateFile(programFolder + relative, kGenericRead,
                                                      kFileShareRead, kOpenExisting, 0);
  if (original == 0) return Nothing(L"the file cannot be opened", context.os.GetLastError());
  const KernelHandle copy =
      context.os.CreateFile(target, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
  if (copy == 0) {
    const Dword error = context.os.GetLastError();
    context.os.CloseHandle(original);
    return Nothing(L"the copy cannot be made", error);
  }
  const std::wstring found = digester.Digest(original, copy);
  context.os.CloseHandle(original);
  context.os.CloseHandle(copy);
  if (found != expected) context.os.DeleteFile(target);
  return found;
}

void KeepCspCopy(RunContext& context) {
  CspCopy& copy = context.cspCopy;
  if (copy.folder.empty()) return;
  copy.kept = true;
  const std::wstring earlier = RecordedCopy(context);
  if (earlier == copy.folder) return;
  RecordCopy(context, copy.folder);
  context.log.CspCopyFolder("kept as the CSP's installation source", {copy.folder});
  if (!earlier.empty()) RemoveTree(context, earlier);
}

void RemoveUnusedCspCopy(RunContext& context) {
  const CspCopy& copy = context.cspCopy;
  if (copy.madeByThisRun && !copy.kept) RemoveTree(context, copy.folder);
}

}  // namespace boot
