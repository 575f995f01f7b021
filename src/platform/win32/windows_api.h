// <windows.h> and the Windows Installer headers for the Win32 side of the seam.
// The seam's members carry the names of the calls they stand for, and <windows.h>
// turns many of those names into macros (MessageBox becomes MessageBoxW). Those macros
// are removed here so that boot::Platform reads the same in every translation unit;
// the Win32 side always calls the W functions by their full names.
#pragma once

#include <windows.h>
// Included after <windows.h>, which they depend on.
#include <msi.h>
#include <msiquery.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wincrypt.h>

#undef CreateDirectory
#undef CreateFile
#undef CreateMutex
#undef CreateProcess
#undef CreateWindowEx
#undef CryptAcquireContext
#undef DeleteFile
#undef DialogBoxParam
#undef DispatchMessage
#undef FindFirstFile
#undef FindNextFile
#undef GetCommandLine
#undef GetDlgItemText
#undef GetEnvironmentVariable
#undef GetFileAttributes
#undef GetFullPathName
#undef GetModuleFileName
#undef GetModuleHandle
#undef GetSystemDirectory
#undef GetUserName
#undef GetVersionEx
#undef GetWindowsDirectory
#undef LoadLibrary
#undef LookupPrivilegeValue
#undef MessageBox
#undef MsiEnumRelatedProducts
#undef MsiGetProductInfo
#undef MsiGetProperty
#undef MsiOpenPackageEx
#undef MsiQueryFeatureState
#undef MsiQueryProductState
#undef MsiSourceListClearAll
#undef MsiSourceListSetInfo
#undef OpenMutex
#undef PeekMessage
#undef RegCreateKeyEx
#undef RegDeleteValue
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RemoveDirectory
#undef SendMessage
#undef SetDlgItemText
#undef VerifyVersionInfo
