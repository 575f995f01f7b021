// Windows data types and constants as plain numbers, so that the portable core can
// name the exact flags, sizes and codes it passes to Windows without <windows.h>.
#pragma once

#include <cstdint>

namespace boot {

using Dword = std::uint32_t;
using Word = std::uint16_t;
using Long = std::int32_t;
using WindowHandle = std::uintptr_t;  // HWND; 0 is none
using RegKey = std::uintptr_t;        // HKEY; 0 is none
using MsiHandle = std::uint32_t;      // MSIHANDLE; 0 is none
using KernelHandle = std::uintptr_t;  // HANDLE of a process, thread or token
using ModuleHandle = std::uintptr_t;  // HMODULE; 0 is none
using ProcAddress = std::uintptr_t;   // FARPROC; 0 is none
using IconHandle = std::uintptr_t;    // HICON; 0 is none

// Error and result codes.
constexpr Dword kErrorSuccess = 0;
constexpr Dword kErrorFileNotFound = 2;
constexpr Dword kErrorPathNotFound = 3;
constexpr Dword kErrorInvalidHandle = 6;
constexpr Dword kErrorFileExists = 80;
constexpr Dword kErrorAlreadyExists = 183;
constexpr Dword kErrorDiskFull = 112;
constexpr Dword kErrorEnvVarNotFound = 203;
constexpr Dword kErrorFilenameExceedsRange = 206;
constexpr Dword kErrorNoData = 232;
constexpr Dword kErrorNoMoreFiles = 18;
constexpr Dword kErrorProcNotFound = 127;
constexpr Dword kErrorMoreData = 234;
constexpr Dword kErrorNoMoreItems = 259;
constexpr Dword kErrorNotAllAssigned = 1300;
constexpr Dword kErrorInstallAlreadyRunning = 1618;
constexpr Dword kErrorInvalidCommandLine = 1639;
constexpr Dword kErrorUnknownProduct = 1605;
constexpr Dword kErrorInstallUserExit = 1602;
constexpr Dword kErrorInstallFailure = 1603;
constexpr Dword kErrorProductVersion = 1638;
constexpr Dword kErrorInstallPackageOpenFailed = 1619;
constexpr Dword kErrorInstallPackageInvalid = 1620;
constexpr Dword kErrorInstallLogFailure = 1622;
constexpr Dword kErrorShutdownInProgress = 1115;
constexpr Dword kErrorShutdownIsScheduled = 1190;
constexpr Dword kErrorShutdownUsersLoggedOn = 1191;
constexpr Dword kErrorSuccessRebootInitiated = 1641;
constexpr Dword kErrorSuccessRebootRequired = 3010;
constexpr Dword kErrorSuccessRestartRequired = 3011;

// Message boxes.
constexpr Dword kMbOk = 0x0;
constexpr Dword kMbYesNo = 0x4;
constexpr Dword kMbIconError = 0x10;
constexpr Dword kMbIconWarning = 0x30;
constexpr Dword kMbIconInformation = 0x40;
constexpr Dword kMbSetForeground = 0x10000;
constexpr Dword kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Windows and window stations.
constexpr Dword kWsfVisible = 0x1;  // USEROBJECTFLAGS of a window station that can be seen
constexpr Dword kWsDisabled = 0x08000000;
constexpr int kCwUseDefault = static_cast<int>(0x80000000u);
constexpr unsigned kWmInitDialog = 0x0110;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmDestroy = 0x0002;
constexpr unsigned kWmSetIcon = 0x0080;
constexpr std::uintptr_t kIconBig = 1;
constexpr int kSwHide = 0;
constexpr int kSwShow = 5;
constexpr unsigned kBstUnchecked = 0;
constexpr unsigned kBstChecked = 1;
constexpr unsigned kImageIcon = 1;
constexpr unsigned kLrDefaultColor = 0;

// Registry.
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr Dword kKeyRead = 0x20019;
constexpr Dword kKeyWrite = 0x20006;
constexpr Dword kKeyWow64_32Key = 0x0200;
constexpr Dword kRegOptionNonVolatile = 0;
constexpr Dword kRegOptionVolatile = 1;  // dropped when Windows restarts
constexpr Dword kRegSz = 1;

// Version checks.
constexpr Dword kVerMinorVersion = 0x1;
constexpr Dword kVerMajorVersion = 0x2;
constexpr Dword kVerServicePackMajor = 0x20;
constexpr std::uint8_t kVerEqual = 1;
constexpr std::uint8_t kVerLess = 4;

// Processes, tokens and shutdown.
constexpr Dword kCreateNoWindow = 0x08000000;
constexpr Dword kInfinite = 0xFFFFFFFF;
constexpr Dword kWaitObject0 = 0;
constexpr Dword kWaitAbandoned0 = 0x80;
constexpr Dword kWaitTimeout = 0x102;
constexpr Dword kWaitFailed = 0xFFFFFFFF;
constexpr Dword kSynchronize = 0x00100000;
constexpr Dword kQsPostMessage = 0x08;
constexpr Dword kQsSendMessage = 0x40;
constexpr unsigned kPmRemove = 0x1;
constexpr Dword kTokenAdjustPrivileges = 0x20;
constexpr Dword kTokenQuery = 0x8;
constexpr Dword kSePrivilegeEnabled = 0x2;
constexpr Dword kEwxReboot = 0x2;
constexpr Dword kEwxRestartApps = 0x40;
constexpr Dword kShtdnReasonMajorApplication = 0x40000;
constexpr Dword kShtdnReasonMinorInstallation = 0x2;
constexpr Dword kShtdnReasonFlagPlanned = 0x80000000;
constexpr Dword kShutdownRestart = 0x4;
constexpr Word kImageFileMachineAmd64 = 0x8664;
constexpr Word kImageFileMachineArm64 = 0xAA64;
constexpr Dword kMachineAttributeUserEnabled = 0x1;  // its code runs in user mode

// Files.
constexpr Dword kFileAttributeDirectory = 0x10;
constexpr Dword kFileAttributeNormal = 0x80;
constexpr Dword kFileAttributeReparsePoint = 0x400;
constexpr Dword kGenericWrite = 0x40000000;
constexpr Dword kFileShareRead = 0x1;
constexpr Dword kCreateNew = 1;
constexpr Dword kCreateAlways = 2;
constexpr Dword kInvalidFileAttributes = 0xFFFFFFFF;
constexpr int kCsidlCommonAppData = 0x23;

// Windows Installer.
constexpr int kInstallUiLevelNone = 2;
constexpr Dword kMsiOpenPackageFlagsIgnoreMachineState = 1;
constexpr int kInstallStateAbsent = 2;
constexpr int kInstallStateDefault = 5;
constexpr int kMsiInstallContextMachine = 4;
constexpr Dword kMsiCodeProduct = 0;

constexpr Dword kMaxPath = 260;

// Reading the release's files and their SHA-256.
constexpr Word kRtString = 6;
constexpr Word kRtRcdata = 10;
constexpr Dword kGenericRead = 0x80000000;
constexpr Dword kOpenExisting = 3;
constexpr Dword kProvRsaAes = 24;
constexpr Dword kCryptVerifyContext = 0xF0000000;
constexpr Dword kCalgSha256 = 0x800C;
constexpr Dword kHpHashVal = 2;

}  // namespace boot
