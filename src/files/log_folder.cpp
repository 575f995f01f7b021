#include "files/log_folder.h"

#include <vector>

namespace boot {
namespace {

constexpr std::size_t kRootChars = 3;  // "C:\"

}  // namespace

Dword MakeLogFolder(RunContext& context, const std::wstring& given, std::wstring* full) {
  std::vector<wchar_t> buffer;
  Dword length = context.os.GetFullPathName(given, &buffer, kMaxPath);
  if (length == 0) return context.os.GetLastError();
  // A folder whose log names would not fit MAX_PATH is refused as a whole.
  if (length >= kMaxPath) return kErrorFilenameExceedsRange;
  while (length > kRootChars && buffer[length - 1] == L'\\') buffer[--length] = L'\0';
  // Each folder on the way is made, then the folder itself: only the last one's failure
  // counts, and a folder that is there already is none. Whether the log can be written
  // there is the log's own test.
  const std::wstring inheritedAccess;
  Dword error = kErrorSuccess;
  for (Dword end = 0; end <= length; ++end) {
    const wchar_t separator = buffer[end];
    if (separator != L'\\' && separator != L'\0') continue;
    buffer[end] = L'\0';
    *full = buffer.data();
    buffer[end] = separator;
    error = context.os.CreateDirectory(*full, inheritedAccess) ? kErrorSuccess
                                                               : context.os.GetLastError();
  }
  return error == kErrorAlreadyExists ? kErrorSuccess : error;
}

}  // namespace boot
