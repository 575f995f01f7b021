// Reading plug-in package files through Windows Installer: the owner of an opened
// package's handles, and the three queries the installation flow makes.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// The Windows Installer handles of one opened package. Only the package handle is ever
// filled; the other three are closed in the same fixed order should one be held. The
// destructor closes whatever is still open.
class PackageInfo {
 public:
  explicit PackageInfo(RunContext& context) : context_(context) {}
  ~PackageInfo() { Close(); }
  PackageInfo(const PackageInfo&) = delete;
  PackageInfo& operator=(const PackageInfo&) = delete;

  // Opens the package without regard to the machine state; Windows Installer's result.
  Dword Open(const std::wstring& packagePath);
  // Reads one property; `value` changes only when the length query reported more data.
  Dword GetProperty(const std::wstring& name, std::wstring* value);
  void Close();

 private:
  void CloseHandle(MsiHandle* handle);

  RunContext& context_;
  MsiHandle package_ = 0;
  MsiHandle second_ = 0;
  MsiHandle view_ = 0;
  MsiHandle fourth_ = 0;
};

// The package that gives the product codes: any architecture-matched .msi, else any .msi.
Dword FindProductCodePackage(RunContext& context, std::wstring* path);

// The package that gives the name and version shown in the upgrade question: the
// language-matched one (LanguageFilter followed by `basePattern`), else `basePattern`.
Dword FindNamePackage(RunContext& context, const std::wstring& basePattern, std::wstring* path);

// The ProductCode of the architecture-matched package file.
Dword GetNewProductCode(RunContext& context, std::wstring* productCode);

// The UpgradeCode of the architecture-matched package file.
Dword GetUpgradeCode(RunContext& context, std::wstring* upgradeCode);

// The product code of the installed product of `upgradeCode` at `index` as Windows Installer
// lists them; 259 and `productCode` untouched when there is none.
Dword GetRelatedProduct(RunContext& context, const std::wstring& upgradeCode, Dword index,
                        std::wstring* productCode);

// The product code of the first installed product sharing that package's UpgradeCode;
// 259 and `productCode` untouched when there is none.
Dword GetInstalledProductCode(RunContext& context, std::wstring* productCode);

// ProductName and ProductVersion of the language-matched plug-in package (LanguageFilter
// followed by `basePattern`, else `basePattern` alone). Failures show messages 135, 133 or
// 134 (no owner) unless silent.
Dword ReadNewProductNameAndVersion(RunContext& context, const std::wstring& basePattern,
                                   bool silent, std::wstring* name, std::wstring* version);

}  // namespace boot
