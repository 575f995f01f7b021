#include "package/package_search.h"

#include "files/file_search.h"
#include "files/program_folder.h"
#include "run/wow64.h"

namespace boot {
namespace {

constexpr Word kRussianRussia = 0x0419;

// 0 when the search found something; 232 when it found nothing; else the error that kept
// the folder from being searched.
Dword SearchResult(RunContext& context, const FileSearch& search) {
  if (search.Found()) return kErrorSuccess;
  const Dword error = context.os.GetLastError();
  return error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorNoMoreFiles
             ? kErrorNoData
             : error;
}

// The first entry of `folder` (ending in a backslash) that matches `pattern`.
Dword FindInFolder(RunContext& context, const std::wstring& folder, const std::wstring& pattern,
                   std::wstring* path) {
  FileSearch search(context, folder + pattern);
  const Dword result = SearchResult(context, search);
  if (result == kErrorSuccess) *path = folder + search.Entry().fileName;
  return result;
}

bool IsSearchedSubfolder(const FindData& entry) {
  return (entry.attributes & kFileAttributeDirectory) != 0 && !entry.fileName.empty() &&
         entry.fileName[0] != L'.';
}

Dword FindInSubfolders(RunContext& context, const std::wstring& folder, const std::wstring& pattern,
                       std::wstring* path) {
  FileSearch listing(context, folder + L"*");
  Dword result = SearchResult(context, listing);
  if (result != kErrorSuccess) return result;
  do {
    const FindData& entry = listing.Entry();
    if (!IsSearchedSubfolder(entry)) continue;
    result = FindInFolder(context, folder + entry.fileName + L"\\", pattern, path);
    if (result != kErrorNoData) return result;
  } while (listing.Next());
  return kErrorNoData;
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
  std::wstring folder;
  std::wstring found;
  Dword result = ProgramFolder(context, &folder);
  if (const PinnedSearch* pinned = FindPinnedSearch(context, pattern)) {
    result = pinned->result;
    found = pinned->path;
  } else if (result == kErrorSuccess) {
    result = FindInFolder(context, folder, pattern, &found);
    if (result == kErrorNoData) result = FindInSubfolders(context, folder, pattern, &found);
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
