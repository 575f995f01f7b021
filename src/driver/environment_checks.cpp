#include "driver/environment_checks.h"

#include "run/box_styles.h"
#include "run/exit_codes.h"
#include "run/message_box.h"
#include "run/messages.h"

namespace boot {
namespace {

struct ServicePackRule {
  const char* name;
  Word minor;
  Word servicePack;
  Word message;
  Dword result;
};

constexpr ServicePackRule kServicePackRules[] = {
    {"not Windows 2000 below Service Pack 4", 0, 4, msg::kWindows2000NeedsSp4,
     kExitWindows2000BelowSp4},
    {"not Windows XP below Service Pack 2", 1, 2, msg::kWindowsXpNeedsSp2, kExitWindowsXpBelowSp2},
    {"not Windows Server 2003 below Service Pack 1", 2, 1, msg::kWindows2003NeedsSp1,
     kExitWindows2003BelowSp1},
};

}  // namespace

Dword CheckAdministrator(RunContext& context, bool silent, const std::wstring& caption) {
  bool administrator = context.os.IsUserAnAdmin();
  context.log.Check("administrator", administrator);
  if (administrator) return kExitSuccess;
  ShowBox(context, silent, context.ownerWindow, msg::kNotAdministrator,
          LoadMessage(context, msg::kNotAdministrator), caption, kErrorBox);
  return kExitNotAdministrator;
}

Dword CheckWindowsRelease(RunContext& context, bool silent) {
  std::wstring title = LoadMessage(context, msg::kPluginCaption);
  for (const auto& rule : kServicePackRules) {
    bool below = IsNt5ServicePackBelow(context, rule.minor, rule.servicePack);
    context.log.Check(rule.name, !below);
    if (!below) continue;
    ShowBox(context, silent, context.ownerWindow, rule.message, LoadMessage(context, rule.message),
            title, kErrorBox);
    return rule.result;
  }
  return kExitSuccess;
}

bool IsNt5ServicePackBelow(RunContext& context, Word minor, Word servicePack) {
  OsVersionInfoEx wanted;
  wanted.majorVersion = 5;
  wanted.minorVersion = minor;
  wanted.servicePackMajor = servicePack;
  std::uint64_t conditions = 0;
  conditions = context.os.VerSetConditionMask(conditions, kVerMajorVersion, kVerEqual);
  conditions = context.os.VerSetConditionMask(conditions, kVerMinorVersion, kVerEqual);
  conditions = context.os.VerSetConditionMask(conditions, kVerServicePackMajor, kVerLess);
  return context.os.VerifyVersionInfo(
      wanted, kVerMajorVersion | kVerMinorVersion | kVerServicePackMajor, conditions);
}

}  // namespace boot
