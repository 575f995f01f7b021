#include "package/install_plugin.h"

#include "package/compare_with_installed.h"
#include "package/install_decision.h"
#include "package/msiexec_runner.h"
#include "package/package_boxes.h"
#include "package/package_info.h"
#include "package/package_search.h"
#include "package/source_hash.h"
#include "run/box_styles.h"
#include "run/error_box.h"
#include "run/messages.h"
#include "run/unseen_ui.h"
#include "wait/installer_busy.h"

namespace boot {
namespace {

const wchar_t kPluginStem[] = L"quorlcom";
const wchar_t kPluginBasePattern[] = L"quorlcom*.msi";
const wchar_t kPluginFeature[] = L"NPQUORL";
constexpr bool kOfferUpgrade = true;

// Whether the run goes on after the version comparison; `result` is the result when not.
bool MayProceed(RunContext& context, InstallAction action, Dword* result) {
  switch (action) {
    case InstallAction::kProceed:
      return true;
    case InstallAction::kStopQuietly:
      *result = kErrorSuccess;
      return false;
    case InstallAction::kAskReinstall:
      if (ShowUpdateBox(context, false, context.ownerWindow, msg::kReinstallQuestion,
                        LoadMessage(context, msg::kReinstallQuestion), kQuestionBox) == kIdYes) {
        return true;
      }
      *result = kErrorInstallUserExit;
      return false;
    case InstallAction::kRefuseOlder:
      ShowUpdateBox(context, false, context.ownerWindow, msg::kNewerVersionInstalled,
                    LoadMessage(context, msg::kNewerVersionInstalled), kInformationBox);
      *result = kErrorProductVersion;
      return false;
  }
  return true;
}

// The related product is installed: compare versions, decide, and describe the product.
// Returns false with `result` set when the run ends here.
bool CheckInstalledProduct(RunContext& context, bool silent, bool reinstall,
                           const std::wstring& installedProductCode,
                           const std::wstring& newProductCode, InstalledProduct* product,
                           Dword* result) {
  int comparison = 0;
  std::wstring installedVersion;
  *result = CompareWithInstalled(context, &comparison, kOfferUpgrade, installedProductCode,
                                 kPluginBasePattern, silent, &installedVersion);
  if (*result != kErrorSuccess) return false;
  InstallAction action = DecideInstall(reinstall, comparison, silent);
  DecisionText decision = DescribeDecision(action, comparison);
  context.log.Decision(decision.name, decision.reason);
  if (!MayProceed(context, action, result)) return false;
  DeleteSourceHash(context, newProductCode);
  product->installed = true;
  product->sameProductCode = installedProductCode == newProductCode;
  int featureState = context.os.MsiQueryFeatureState(installedProductCode, kPluginFeature);
  context.log.InstalledProduct(installedProductCode, "feature NPQUORL", featureState);
  product->pluginFeatureAbsent = featureState == kInstallStateAbsent;
  return true;
}

// The package msiexec installs: the plug-in's stem and the architecture, no ".msi".
std::wstring PluginPattern(RunContext& context) {
  return kPluginStem + ArchitectureFilter(context);
}

}  // namespace

std::vector<std::wstring> FindPluginFiles(RunContext& context) {
  std::vector<std::wstring> paths(3);
  FindProductCodePackage(context, &paths[0]);
  FindNamePackage(context, kPluginBasePattern, &paths[1]);
  FindPackageFile(context, PluginPattern(context), &paths[2]);
  return paths;
}

Dword InstallPlugin(RunContext& context, bool silent, std::wstring& logPath, std::wstring quorlArgs,
                    bool reinstall) {
  if (Dword busy = WaitWhileInstallerBusy(context)) return busy;
  std::wstring pluginPattern = PluginPattern(context);
  std::wstring installedProductCode;
  GetInstalledProductCode(context, &installedProductCode);
  std::wstring newProductCode;
  Dword result = GetNewProductCode(context, &newProductCode);
  if (result != kErrorSuccess) {
    ReportPackageError(context, silent, context.ownerWindow, msg::kProductCodeNotFound);
    return result;
  }
  InstalledProduct product;
  int state = context.os.MsiQueryProductState(installedProductCode);
  context.log.InstalledProduct(installedProductCode, "product", state);
  if (state != kInstallStateDefault) {
    context.log.Decision("fresh install", "no product of the plug-in family is installed");
  } else if (!CheckInstalledProduct(context, silent, reinstall, installedProductCode,
                                    newProductCode, &product, &result)) {
    return result;
  }
  return RunMsiexec(context, silent, logPath, installedProductCode, pluginPattern,
                    BuildPluginArguments(product, OptionsForThisDesktop(context, quorlArgs),
                                         context.nobodyCanSee));
}

}  // namespace boot
