#include "run/failure_report.h"

#include "log/decimal_text.h"
#include "run/messages.h"

namespace boot {

std::wstring BuildFailureReport(RunContext& context, Word messageId, Dword code,
                                const std::wstring& logPath) {
  std::wstring text = LoadMessage(context, messageId) + L": " + DecimalText(code) + L".\n";
  if (!logPath.empty() && context.os.FileExists(logPath)) text += L"Install log: " + logPath;
  return text;
}

}  // namespace boot
