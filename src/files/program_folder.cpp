#include "files/program_folder.h"

namespace boot {

std::wstring ProgramFolder(RunContext& context) {
  std::wstring modulePath;
  context.os.GetModuleFileName(&modulePath, kMaxPath);
  auto slash = modulePath.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash + 1);
}

}  // namespace boot
