#include "files/program_folder.h"

namespace boot {

Dword ProgramFolder(RunContext& context, std::wstring* folder) {
  std::wstring modulePath;
  const Dword length = context.os.GetModuleFileName(&modulePath, kMaxPath);
  const auto slash = modulePath.find_last_of(L'\\');
  if (slash == std::wstring::npos) {  // no path at all, or one without a folder
    const Dword error = length == 0 ? context.os.GetLastError() : kErrorPathNotFound;
    context.log.Fact("program's folder", {"unknown (error ", error, ")"});
    return error != kErrorSuccess ? error : kErrorPathNotFound;
  }
  *folder = modulePath.substr(0, slash + 1);
  return kErrorSuccess;
}

}  // namespace boot
