#include "package/package_search.h"

#include "run/program_folder.h"
#include "run/wow64.h"

namespace boot {
namespace {

constexpr Word kRussianRussia = 0x0419;

// One directory search, closed when it goes out of scope.
class FileSearch {
 public:
  FileSearch(RunContext& context, const std::wstring& pattern) : context_(context) {
    handle_ = context_.os.FindFirstFile(pattern, &entry_);
  }
  ~FileSearch() {
    if (handle_ != 0) context_.os.FindClose(handle_);
  }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  bool Found() const { return handle_ != 0; }
  const FindData& Entry() const { return entry_; }
  bool Next() { return context_.os.FindNextFile(handle_, &entry_); }

 private:
  RunContext& context_;
  KernelHandle handle_ = 0;
  FindData entry_;
};

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

}  // namespace

Dword FindPackageFile(RunContext& context, const std::wstring& pattern, std::wstring* path) {
  std::wstring folder = ProgramFolder(context);
  Dword result = FindInFolder(context, folder, pattern, path) ||
                         FindInSubfolders(context, folder, pattern, path)
                     ? kErrorSuccess
                     : kErrorNoData;
  context.log.PackageSearch(folder + pattern, result, result == kErrorSuccess ? *path : L"");
  return result;
}

std::wstring ArchitectureFilter(RunContext& context) {
  return IsWow64(context) ? L"*x64*" : L"*win32*";
}

std::wstring LanguageFilter(RunContext& context) {
  return context.os.GetSystemDefaultUILanguage() == kRussianRussia ? L"*rus*" : L"*eng*";
}

}  // namespace boot
