#include "package/compare_with_installed.h"

#include <algorithm>
#include <vector>

#include "lifetime/run_lifetime.h"
#include "package/package_boxes.h"
#include "package/package_info.h"
#include "package/package_version.h"
#include "run/box_styles.h"
#include "run/error_box.h"
#include "run/exit_codes.h"
#include "run/messages.h"

namespace boot {
namespace {

constexpr WindowHandle kNoOwner = 0;
const wchar_t kVersionStringProperty[] = L"VersionString";

Dword ReadInstalledVersion(RunContext& context, const std::wstring& productCode, bool silent,
                           std::wstring* installedVersion) {
  Dword length = 0;
  // The run ends with 1, as it always has; the log keeps Windows Installer's own code.
  if (Dword failed =
          context.os.MsiGetProductInfo(productCode, kVersionStringProperty, nullptr, &length)) {
    context.log.InstalledVersion(productCode, failed, L"");
    ReportPackageError(context, silent, kNoOwner, msg::kInstalledVersionUnknown);
    return kExitInstalledVersionUnknown;
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  Dword capacity = static_cast<Dword>(buffer.size());
  Dword result =
      context.os.MsiGetProductInfo(productCode, kVersionStringProperty, buffer.data(), &capacity);
  if (result == kErrorSuccess) {
    installedVersion->assign(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
  }
  context.log.InstalledVersion(productCode, result, *installedVersion);
  if (result != kErrorSuccess) {
    ReportPackageError(context, silent, kNoOwner, msg::kInstalledVersionUnknown);
  }
  return result;
}

// Ends the process when the user declines; a silent run takes Yes.
void ConfirmUpgrade(RunContext& context, bool silent, const std::wstring& productName,
                    const std::wstring& installedVersion, const std::wstring& newVersion) {
  std::wstring question = FillPlaceholders(LoadMessage(context, msg::kUpgradeQuestion),
                                           {productName, installedVersion, newVersion});
  if (ShowUpdateBox(context, silent, kNoOwner, msg::kUpgradeQuestion, question, kQuestionBox) ==
      kIdNo) {
    context.log.Decision("end the run", "the upgrade was declined");
    ExitRun(context, kExitUpgradeDeclined);
  }
}

}  // namespace

Dword CompareWithInstalled(RunContext& context, int* comparison, bool offerUpgrade,
                           const std::wstring& installedProductCode,
                           const std::wstring& basePattern, bool silent,
                           std::wstring* installedVersion) {
  Dword result = ReadInstalledVersion(context, installedProductCode, silent, installedVersion);
  if (result != kErrorSuccess) return result;
  std::wstring productName;
  std::wstring newVersion;
  result = ReadNewProductNameAndVersion(context, basePattern, silent, &productName, &newVersion);
  if (result != kErrorSuccess) return result;
  int answer =
      CompareVersions(ParsePackageVersion(newVersion), ParsePackageVersion(*installedVersion));
  context.log.VersionsCompared(*installedVersion, newVersion, answer);
  if (answer > 0 && offerUpgrade) {
    ConfirmUpgrade(context, silent, productName, *installedVersion, newVersion);
  }
  *comparison = answer;
  return kErrorSuccess;
}

}  // namespace boot
