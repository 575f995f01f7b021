// What the plug-in installation does with a version comparison, and which Windows
// Installer properties make msiexec install, reinstall or complete the plug-in.
#pragma once

#include <string>

namespace boot {

enum class InstallAction {
  kProceed,       // go on to msiexec
  kStopQuietly,   // same version, silent: nothing to do, success
  kAskReinstall,  // same version: message 147, Yes proceeds, else 1602
  kRefuseOlder,   // package older: message 150, then 1638
};

// `comparison` is 1 when the package is newer than the installed product, 0 when equal,
// -1 when older.
InstallAction DecideInstall(bool reinstall, int comparison, bool silent);

// What the decision does and why, in words for the run log.
struct DecisionText {
  const char* name;
  const char* reason;
};
DecisionText DescribeDecision(InstallAction action, int comparison);

// What is known about the installed related product once the run goes on.
struct InstalledProduct {
  bool installed = false;            // a related product is installed (state 5)
  bool sameProductCode = false;      // its product code equals the package's, exactly
  bool pluginFeatureAbsent = false;  // its NPQUORL feature reports absent (2)
};

// Puts " /qb" (" /qn" when nobody can see) in front of `arguments`, unless a token of them
// starts with "/q".
void AddUiOption(std::wstring* arguments, bool nobodyCanSee);

// The msiexec argument text: the property fragments and the UI option (AddUiOption), each
// put in front of the user's `quorlArgs`.
std::wstring BuildPluginArguments(const InstalledProduct& product, const std::wstring& quorlArgs,
                                  bool nobodyCanSee);

}  // namespace boot
