#include "package/uninstall_plugin.h"

#include <utility>
#include <vector>

#include "package/install_decision.h"
#include "package/msiexec_runner.h"
#include "package/package_info.h"
#include "run/error_box.h"
#include "run/unseen_ui.h"
#include "wait/installer_busy.h"

namespace boot {
namespace {

// Every product of the family is listed before any is removed: Windows Installer may list
// what is left of a family differently once one of its products is gone.
Dword ListInstalledFamily(RunContext& context, const std::wstring& upgradeCode,
                          std::vector<std::wstring>* productCodes) {
  Dword result = kErrorSuccess;
  for (Dword index = 0; result == kErrorSuccess; ++index) {
    std::wstring productCode;
    result = GetRelatedProduct(context, upgradeCode, index, &productCode);
    if (result == kErrorSuccess) productCodes->push_back(std::move(productCode));
  }
  return result == kErrorNoMoreItems ? kErrorSuccess : result;
}

}  // namespace

Dword UninstallPlugin(RunContext& context, bool silent, std::wstring& logPath,
                      const std::wstring& quorlArgs) {
  if (Dword busy = WaitWhileInstallerBusy(context)) return busy;
  std::wstring upgradeCode;
  if (Dword unread = GetUpgradeCode(context, &upgradeCode)) {
    ReportPackageError(context, silent, context.ownerWindow, msg::kProductCodeNotFound);
    return unread;
  }
  std::vector<std::wstring> installed;
  if (Dword unlisted = ListInstalledFamily(context, upgradeCode, &installed)) return unlisted;
  if (installed.empty()) {
    context.log.Decision("remove nothing", "no product of the plug-in family is installed");
    return kErrorSuccess;
  }
  std::wstring arguments = OptionsForThisDesktop(context, quorlArgs);
  AddUiOption(&arguments, context.nobodyCanSee);
  for (const std::wstring& productCode : installed) {
    Dword code = RemoveProduct(context, silent, logPath, productCode, arguments);
    if (code != kErrorSuccess && code != kErrorUnknownProduct) return code;
  }
  return kErrorSuccess;
}

}  // namespace boot
