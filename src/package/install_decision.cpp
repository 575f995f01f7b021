#include "package/install_decision.h"

#include "command_text/installer_options.h"

namespace boot {
namespace {

const wchar_t kFreshInstall[] = L" ADDNPQUORL=1";
const wchar_t kReinstall[] = L" REINSTALL=ALL REINSTALLMODE=vomus";
const wchar_t kAddComponentsOfSameProduct[] =
    L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const wchar_t kAddAllFeatures[] = L" ADDLOCAL=ALL";
const wchar_t kBasicUi[] = L" /qb";
const wchar_t kNoUi[] = L" /qn";

}  // namespace

InstallAction DecideInstall(bool reinstall, int comparison, bool silent) {
  if (comparison > 0) return InstallAction::kProceed;
  if (comparison < 0) return silent ? InstallAction::kProceed : InstallAction::kRefuseOlder;
  if (reinstall) return InstallAction::kProceed;
  return silent ? InstallAction::kStopQuietly : InstallAction::kAskReinstall;
}

DecisionText DescribeDecision(InstallAction action, int comparison) {
  switch (action) {
    case InstallAction::kProceed:
      if (comparison > 0) return {"upgrade", "the package is newer than the installed product"};
      if (comparison == 0) {
        return {"reinstall", "the same version is installed and -reinstall was given"};
      }
      return {"install the older package", "a newer version is installed, but the run is silent"};
    case InstallAction::kStopQuietly:
      return {"install nothing",
              "the same version is installed; a silent run does not reinstall without "
              "-reinstall"};
    case InstallAction::kAskReinstall:
      return {"ask whether to reinstall", "the same version is installed"};
    case InstallAction::kRefuseOlder:
      return {"refuse the older package", "a newer version is installed"};
  }
  return {"", ""};
}

std::wstring BuildPluginArguments(const InstalledProduct& product, const std::wstring& quorlArgs,
                                  bool nobodyCanSee) {
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
  AddUiOption(&arguments, nobodyCanSee);
  return arguments;
}

void AddUiOption(std::wstring* arguments, bool nobodyCanSee) {
  if (!HoldsUiOption(*arguments)) *arguments = (nobodyCanSee ? kNoUi : kBasicUi) + *arguments;
}

}  // namespace boot
