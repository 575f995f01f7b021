#include "package/install_log.h"

#include <cwchar>
#include <vector>

#include "driver/box_styles.h"
#include "resources/message_catalogue.h"

namespace boot {

Dword MakeLogPath(RunContext& context, bool silent, const std::wstring& baseName,
                  std::wstring& logPath) {
  Dword size = context.os.GetEnvironmentVariable(L"TMP", nullptr, 0);
  std::vector<wchar_t> value(size + 1, L'\0');
  if (context.os.GetEnvironmentVariable(L"TMP", size ? value.data() : nullptr, size) == 0) {
    Dword error = context.os.GetLastError();
    if (!silent) {
      context.os.MessageBox(context.ownerWindow,
                            LoadMessage(context, msg::kEnvironmentVariableUnknown),
                            LoadMessage(context, msg::kErrorCaption), kErrorBox);
    }
    return error;
  }
  logPath = std::wstring(value.data()) + L"\\" + baseName + L"_" + LogTimestamp(context) + L".log";
  return kErrorSuccess;
}

std::wstring LogTimestamp(RunContext& context) {
  std::tm local{};
  context.os.LocalTime(context.os.Time(), &local);
  wchar_t text[80] = {};
  std::wcsftime(text, 80, L"%Y-%m-%d-%H-%M-%S", &local);
  context.os.PutWs(text);
  return text;
}

}  // namespace boot
