#include "package/install_decision.h"

namespace boot {
namespace {

const wchar_t kFreshInstall[] = L" ADDNPQUORL=1";
const wchar_t kReinstall[] = L" REINSTALL=ALL REINSTALLMODE=vomus";
const wchar_t kAddComponentsOfSameProduct[] =
    L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const wchar_t kAddAllFeatures[] = L" ADDLOCAL=ALL";
const wchar_t kBasicUi[] = L" /qb";

}  // namespace

InstallAction DecideInstall(bool reinstall, int comparison, bool silent) {
  if (comparison > 0) return InstallAction::kProceed;
  if (comparison < 0) return silent ? InstallAction::kProceed : InstallAction::kRefuseOlder;
  if (reinstall) return InstallAction::kProceed;
  return silent ? InstallAction::kStopQuietly : InstallAction::kAskReinstall;
}

const wchar_t* DecisionName(InstallAction action, int comparison) {
  switch (action) {
    case InstallAction::kProceed:
      if (comparison > 0) return L"upgrade";
      return comparison == 0 ? L"reinstall" : L"install the older package";
    case InstallAction::kStopQuietly:
      return L"install nothing";
    case InstallAction::kAskReinstall:
      return L"ask whether to reinstall";
    case InstallAction::kRefuseOlder:
      return L"refuse the older package";
  }
  return L"";
}

const wchar_t* DecisionReason(InstallAction action, int comparison) {
  switch (action) {
    case InstallAction::kProceed:
      if (comparison > 0) return L"the package is newer than the installed product";
      return comparison == 0 ? L"the same version is installed and -reinstall was given"
                             : L"a newer version is installed, but the run is silent";
    case InstallAction::kStopQuietly:
      return L"the same version is installed; a silent run does not reinstall without -reinstall";
    case InstallAction::kAskReinstall:
      return L"the same version is installed";
    case InstallAction::kRefuseOlder:
      return L"a newer version is installed";
  }
  return L"";
}

std::wstring BuildPluginArguments(const InstalledProduct& product, const std::wstring& quorlArgs) {
  std::wstring arguments = quorlArgs;
  if (!product.installed) {
    arguments = kFreshInstall + arguments;
  } else {
    if (product.sameProductCode) arguments = kReinstall + arguments;
    if (product.pluginFeatureAbsent) {
      arguments =
          (product.sameProductCode ? kAddComponentsOfSameProduct : kAddAllFeatures) + arguments;
    }
  }
  if (arguments.find(L"/q") == std::wstring::npos) arguments = kBasicUi + arguments;
  return arguments;
}

}  // namespace boot
