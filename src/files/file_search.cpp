#include "files/file_search.h"

namespace boot {

void ListFilesBelow(RunContext& context, const std::wstring& folder, const std::wstring& subfolder,
                    std::vector<std::wstring>* files) {
  FileSearch search(context, folder + subfolder + L"\\*");
  if (!search.Found()) return;
  do {
    const FindData& entry = search.Entry();
    if (entry.fileName == L"." || entry.fileName == L"..") continue;
    const std::wstring path = subfolder + L"\\" + entry.fileName;
    if ((entry.attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) ==
        kFileAttributeDirectory) {
      ListFilesBelow(context, folder, path, files);
    } else {
      files->push_back(path);
    }
  } while (search.Next());
}

}  // namespace boot
