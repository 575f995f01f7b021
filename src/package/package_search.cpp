#include "package/package_search.h"

#include "files/file_search.h"
#include "files/program_folder.h"
#include "run/wow64.h"

namespace boot {
namespace {

constexpr Word kRussianRussia = 0x0419;

// The first entry of `folder` (ending in a backslash or empty) that matches `pattern`.
bool FindInFolder(RunContext& context, const std::wstring& folder, const std::wstring& pattern,
                  std::wstring* path) {
  FileSearch search(context, folder + pattern);
  if (!search.Found()) return false;
  *path = folder + search.Entry().fileName;
  return true;
}

bool IsSearchedSubfolder(const FindData& entry) {
  return (entry.attributes & kFileAttributeDirectory) != 0 && !entry.fileName.empty() &&
         entry.fileName[0] != L'.';
}

bool FindInSubfolders(RunContext& context, const std::wstring& folder, const std::wstring& pattern,
                      std::wstring* path) {
  FileSearch listing(context, folder + L"*");
  if (!listing.Found()) return false;
  do {
    const FindData& entry = listing.Entry();
    if (IsSearchedSubfolder(entry) &&
        FindInFolder(context, folder + entry.fileName + L"\\", pattern, path)) {
      return true;
    }
  } while (listing.Next());
  return false;
}

// Once a release build has checked its files, each search gives what it gave then: a file
// added later, which no check has seen, is never taken.
const PinnedSearch* FindPinnedSearch(RunContext& context, const std::wstring& pattern) {
  for (const auto& pinned : context.pinnedSearches) {
    if (pinned.pattern == pattern) return &pinned;
  }
  return nullptr;
}

}  // namespace

Dword FindPackageFile(RunContext& context, const std::wstring& pattern, std::wstring* path) {
  std::wstring folder = ProgramFolder(context);
  std::wstring found;
  Dword result = kErrorNoData;
  if (const PinnedSearch* pinned = FindPinnedSearch(context, pattern)) {
    result = pinned->result;
    found = pinned->path;
  } else {
    if (FindInFolder(context, folder, pattern, &found) ||
        FindInSubfolders(context, folder, pattern, &found)) {
      result = kErrorSuccess;
    }
    if (context.pinSearches) context.pinnedSearches.push_back({pattern, result, found});
  }
  context.log.PackageSearch(folder + pattern, result, found);
  if (result == kErrorSuccess) *path = found;
  return result;
}

std::wstring ArchitectureFilter(RunContext& context) {
  return ReadMachineArchitecture(context).x64Package ? L"*x64*" : L"*win32*";
}

std::wstring LanguageFilter(RunContext& context) {
  return context.os.GetSystemDefaultUILanguage() == kRussianRussia ? L"*rus*" : L"*eng*";
}

}  // namespace boot
