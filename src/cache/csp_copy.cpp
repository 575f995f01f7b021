#include "cache/csp_copy.h"

#include <cstring>
#include <vector>

#include "files/file_search.h"
#include "log/decimal_text.h"

namespace boot {
namespace {

const wchar_t kRecordKey[] = L"SOFTWARE\\StalverBrowserPluginBootstrapper";
const wchar_t kCurrentCopy[] = L"CspSource";
const wchar_t kEarlierCopy[] = L"EarlierCspSource";
const wchar_t kFolderPrefix[] = L"StalverBootstrapper.";
// SYSTEM and the administrators have full control of the folder and all below it; users may
// read and run. Protected: nothing comes from %ProgramData%, where users may create files.
const wchar_t kCopyAccess[] =
    L"D:PAI(A;;FA;;;SY)(A;OICIIO;GA;;;SY)(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
    L"(A;OICIIO;GRGX;;;BU)";
constexpr Dword kRecordAccess = kKeyRead | kKeyWrite | kKeyWow64_32Key;
constexpr Dword kRecordBytes = 2 * (kMaxPath + 1);
// A name that someone made first is passed over for the next: they cannot all be made first.
constexpr int kNameTries = 16;

std::wstring ReadRecord(RunContext& context, const wchar_t* name) {
  RegKey key = 0;
  if (context.os.RegOpenKeyEx(kHkeyLocalMachine, kRecordKey, 0, kKeyRead | kKeyWow64_32Key, &key) !=
      0) {
    return L"";
  }
  std::vector<std::uint8_t> bytes;
  Dword type = 0;
  Dword size = kRecordBytes;
  const Long status = context.os.RegQueryValueEx(key, name, &type, &bytes, &size);
  context.os.RegCloseKey(key);
  if (status != 0 || type != kRegSz || size > bytes.size()) return L"";
  std::wstring text(size / sizeof(wchar_t), L'\0');
  std::memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

void WriteRecord(RunContext& context, const wchar_t* name, const std::wstring& folder) {
  RegKey key = 0;
  if (context.os.RegCreateKeyEx(kHkeyLocalMachine, kRecordKey, kRegOptionNonVolatile, kRecordAccess,
                                &key, nullptr) != 0) {
    return;
  }
  if (folder.empty()) {
    context.os.RegDeleteValue(key, name);
  } else {
    context.os.RegSetValueEx(key, name, folder);
  }
  context.os.RegCloseKey(key);
}

bool IsPlainFolder(RunContext& context, const std::wstring& path) {
  const Dword attributes = context.os.GetFileAttributes(path);
  return attributes != kInvalidFileAttributes &&
         (attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) ==
             kFileAttributeDirectory;
}

// A recorded folder of this release's: its name is the prefix and the release, then nothing
// or a dot.
bool BelongsTo(const std::wstring& folder, const std::wstring& releaseId) {
  const std::wstring name = kFolderPrefix + releaseId;
  const std::size_t at = folder.rfind(L'\\') + 1;
  return at != 0 && folder.compare(at, name.size(), name) == 0 &&
         (folder.size() == at + name.size() || folder[at + name.size()] == L'.');
}

// Removes the folder and all below it; a link inside is removed, never followed.
void RemoveTree(RunContext& context, const std::wstring& folder) {
  {
    FileSearch search(context, folder + L"\\*");
    if (search.Found()) {
      do {
        const FindData& entry = search.Entry();
        if (entry.fileName == L"." || entry.fileName == L"..") continue;
        const std::wstring path = folder + L"\\" + entry.fileName;
        if ((entry.attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) ==
            kFileAttributeDirectory) {
          RemoveTree(context, path);
        } else if ((entry.attributes & kFileAttributeDirectory) != 0) {
          context.os.RemoveDirectory(path);
        } else {
          context.os.DeleteFile(path);
        }
      } while (search.Next());
    }
  }
  context.log.CspCopyFolder(context.os.RemoveDirectory(folder) ? "removed" : "could NOT be removed",
                            folder);
}

}  // namespace

Dword OpenCspCopy(RunContext& context, const std::wstring& releaseId) {
  CspCopy& copy = context.cspCopy;
  const std::wstring recorded = ReadRecord(context, kCurrentCopy);
  if (BelongsTo(recorded, releaseId) && IsPlainFolder(context, recorded)) {
    copy.folder = recorded;
    context.log.CspCopyFolder("taken: recorded for this release", copy.folder);
    return kErrorSuccess;
  }
  std::wstring base;
  const Long found = context.os.GetFolderPath(kCsidlCommonAppData, &base);
  Dword error = found != 0 ? static_cast<Dword>(found) & 0xFFFF : kErrorSuccess;
  const std::wstring name = base + L"\\" + kFolderPrefix + releaseId;
  for (int attempt = 0; found == 0 && attempt < kNameTries; ++attempt) {
    const std::wstring folder =
        attempt == 0 ? name : name + L"." + DecimalText(context.os.GetTickCount() + attempt);
    if (context.os.CreateDirectory(folder, kCopyAccess)) {
      copy.folder = folder;
      copy.madeByThisRun = true;
      context.log.CspCopyFolder("made", copy.folder);
      return kErrorSuccess;
    }
    error = context.os.GetLastError();
    if (error != kErrorAlreadyExists) break;
  }
  if (error == kErrorSuccess) error = kErrorAlreadyExists;
  context.log.CspCopyFolder("could NOT be made", name + L" (error " + DecimalText(error) + L")");
  return error;
}

std::wstring CopyIntoCspCopy(RunContext& context, FileDigester& digester,
                             const std::wstring& programFolder, const std::wstring& relative,
                             const std::wstring& expected) {
  const std::wstring& folder = context.cspCopy.folder;
  for (std::size_t slash = relative.find(L'\\'); slash != std::wstring::npos;
       slash = relative.find(L'\\', slash + 1)) {
    context.os.CreateDirectory(folder + L"\\" + relative.substr(0, slash), L"");
  }
  // Read sharing only: nobody writes the original while it is copied.
  const KernelHandle original = context.os.CreateFile(programFolder + relative, kGenericRead,
                                                      kFileShareRead, kOpenExisting, 0);
  if (original == 0) return Nothing(L"the file cannot be opened", context.os.GetLastError());
  const std::wstring target = folder + L"\\" + relative;
  const KernelHandle copy =
      context.os.CreateFile(target, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
  const std::wstring found = copy == 0
                                 ? Nothing(L"the copy cannot be made", context.os.GetLastError())
                                 : digester.Digest(original, copy);
  context.os.CloseHandle(original);
  if (copy != 0) context.os.CloseHandle(copy);
  if (found != expected) context.os.DeleteFile(target);
  return found;
}

void KeepCspCopy(RunContext& context) {
  CspCopy& copy = context.cspCopy;
  if (copy.folder.empty()) return;
  copy.setupStarted = true;
  const std::wstring current = ReadRecord(context, kCurrentCopy);
  if (current == copy.folder) return;
  if (!current.empty()) {
    // The earlier release's copy may still be the installed CSP's source: it stays until a
    // CSP step succeeds. A copy recorded since, whose step did not, gives way.
    if (ReadRecord(context, kEarlierCopy).empty()) {
      WriteRecord(context, kEarlierCopy, current);
    } else {
      RemoveTree(context, current);
    }
  }
  WriteRecord(context, kCurrentCopy, copy.folder);
  context.log.CspCopyFolder("recorded as the CSP's installation source", copy.folder);
}

void RemoveEarlierCspCopy(RunContext& context) {
  if (context.cspCopy.folder.empty()) return;
  const std::wstring earlier = ReadRecord(context, kEarlierCopy);
  if (earlier.empty()) return;
  if (earlier != context.cspCopy.folder) RemoveTree(context, earlier);
  WriteRecord(context, kEarlierCopy, L"");
}

void RemoveUnusedCspCopy(RunContext& context) {
  const CspCopy& copy = context.cspCopy;
  if (copy.madeByThisRun && !copy.setupStarted) RemoveTree(context, copy.folder);
}

}  // namespace boot
