// Numbers of the texts in the message catalogue (the program's string table).
#pragma once

#include "platform/win_types.h"

namespace boot::msg {

constexpr Word kNotAdministrator = 101;
constexpr Word kInstallCspAndPluginQuestion = 102;
constexpr Word kInstallPluginQuestion = 103;
constexpr Word kPluginCaption = 104;
constexpr Word kCspInstallFailed = 105;
constexpr Word kPluginInstallFailed = 106;
constexpr Word kCspAndPluginRestartQuestion = 107;
constexpr Word kPluginRestartQuestion = 108;
constexpr Word kCspAndPluginInstalled = 109;
constexpr Word kPluginInstalled = 110;
constexpr Word kRestartFailed = 111;
constexpr Word kWindows2000NeedsSp4 = 117;
constexpr Word kWindowsXpNeedsSp2 = 118;
constexpr Word kWindows2003NeedsSp1 = 119;
constexpr Word kCspCaption = 122;
constexpr Word kUpdateCaption = 128;
constexpr Word kErrorCaption = 129;
constexpr Word kInstalledVersionUnknown = 131;
constexpr Word kNewPackageNotOpened = 133;
constexpr Word kNewPackageVersionUnknown = 134;
constexpr Word kNamePackageNotFound = 135;
constexpr Word kPackageNotFound = 139;
constexpr Word kHideOptionsLabel = 142;
constexpr Word kOptionsLabel = 143;
constexpr Word kEnvironmentVariableUnknown = 144;
constexpr Word kReinstallQuestion = 147;
constexpr Word kNewerVersionInstalled = 150;
constexpr Word kProductCodeNotFound = 151;
constexpr Word kSystemDirectoryUnknown = 152;
constexpr Word kUpgradeQuestion = 153;
constexpr Word kReleaseFileMismatch = 154;
constexpr Word kReleaseFilesUncheckable = 155;  // this Windows has no SHA-256
constexpr Word kUninstallPluginQuestion = 156;
constexpr Word kPluginUninstallFailed = 157;
constexpr Word kPluginRemovedRestartQuestion = 158;
constexpr Word kPluginRemoved = 159;
constexpr Word kLogFolderUnwritable = 160;  // %s: the folder

}  // namespace boot::msg
