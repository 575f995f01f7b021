// files/: the files a run works with: searching, hashing, the program's folder, install logs.
// Searching folders through FindFirstFileW and FindNextFileW.
#pragma once

#include <string>
#include <vector>

#include "run/run_context.h"

namespace boot {

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

// Appends every file below `folder` + `subfolder`, at any depth, as its path relative to
// `folder` (which ends in a backslash). A folder that is a link (a reparse point) is not
// entered: it is listed as if it were a file.
void ListFilesBelow(RunContext& context, const std::wstring& folder, const std::wstring& subfolder,
                    std::vector<std::wstring>* files);

}  // namespace boot
