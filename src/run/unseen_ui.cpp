#include "run/unseen_ui.h"

#include <vector>

#include "command_text/installer_options.h"

namespace boot {

std::wstring OptionsForThisDesktop(RunContext& context, const std::wstring& options) {
  if (!context.nobodyCanSee) return options;
  std::vector<std::wstring> replaced;
  std::wstring quiet = WithNoUiOnly(options, &replaced);
  for (const std::wstring& option : replaced) context.log.UiOptionReplaced(option);
  return quiet;
}

}  // namespace boot
