#include "package/package_info.h"

#include <algorithm>
#include <vector>

#include "package/package_search.h"
#include "run/error_box.h"

namespace boot {
namespace {

constexpr WindowHandle kNoOwner = 0;
constexpr std::size_t kProductCodeBufferChars = 39;  // a GUID in braces and its terminator

std::wstring TextBeforeNul(const std::vector<wchar_t>& buffer) {
  return std::wstring(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
}

// Tries each pattern in turn; the first that finds an entry gives the path.
Dword FindFirstOf(RunContext& context, std::initializer_list<std::wstring> patterns,
                  std::wstring* path) {
  Dword result = kErrorNoData;
  for (const auto& pattern : patterns) {
    result = FindPackageFile(context, pattern, path);
    if (result == kErrorSuccess) break;
  }
  return result;
}

Dword OpenProductCodePackage(RunContext& context, PackageInfo* package) {
  std::wstring path;
  Dword found = FindProductCodePackage(context, &path);
  if (found != kErrorSuccess) return found;
  return package->Open(path);
}

}  // namespace

Dword FindProductCodePackage(RunContext& context, std::wstring* path) {
  return FindFirstOf(context, {ArchitectureFilter(context) + L"*.msi", L"*.msi"}, path);
}

Dword FindNamePackage(RunContext& context, const std::wstring& basePattern, std::wstring* path) {
  return FindFirstOf(context, {LanguageFilter(context) + basePattern, basePattern}, path);
}

Dword PackageInfo::Open(const std::wstring& packagePath) {
  // Windows Installer is never handed a path that does not fit MAX_PATH: some of its
  // implementations copy it into a fixed buffer and overrun it.
  Dword result = packagePath.size() >= kMaxPath
                     ? kErrorFilenameExceedsRange
                     : context_.os.MsiOpenPackageEx(
                           packagePath, kMsiOpenPackageFlagsIgnoreMachineState, &package_);
  context_.log.PackageOpened(packagePath, result);
  return result;
}

Dword PackageInfo::GetProperty(const std::wstring& name, std::wstring* value) {
  wchar_t probe[1] = {L'\0'};
  Dword length = 0;
  Dword result = context_.os.MsiGetProperty(package_, name, probe, &length);
  if (result == kErrorMoreData) {
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    Dword capacity = static_cast<Dword>(buffer.size());
    result = context_.os.MsiGetProperty(package_, name, buffer.data(), &capacity);
    *value = TextBeforeNul(buffer);
  }
  context_.log.PackageProperty(name, result, *value);
  return result;
}

void PackageInfo::Close() {
  CloseHandle(&package_);
  CloseHandle(&fourth_);
  if (view_ != 0) context_.os.MsiViewClose(view_);
  CloseHandle(&view_);
  CloseHandle(&second_);
}

void PackageInfo::CloseHandle(MsiHandle* handle) {
  if (*handle == 0) return;
  context_.os.MsiCloseHandle(*handle);
  *handle = 0;
}

Dword GetNewProductCode(RunContext& context, std::wstring* productCode) {
  PackageInfo package(context);
  Dword opened = OpenProductCodePackage(context, &package);
  if (opened != kErrorSuccess) return opened;
  return package.GetProperty(L"ProductCode", productCode);
}

Dword GetUpgradeCode(RunContext& context, std::wstring* upgradeCode) {
  PackageInfo package(context);
  Dword opened = OpenProductCodePackage(context, &package);
  if (opened != kErrorSuccess) return opened;
  return package.GetProperty(L"UpgradeCode", upgradeCode);
}

Dword GetRelatedProduct(RunContext& context, const std::wstring& upgradeCode, Dword index,
                        std::wstring* productCode) {
  std::vector<wchar_t> buffer(kProductCodeBufferChars, L'\0');
  Dword result = context.os.MsiEnumRelatedProducts(upgradeCode, 0, index, buffer.data());
  if (result == kErrorSuccess) *productCode = TextBeforeNul(buffer);
  context.log.RelatedProduct(upgradeCode, result, *productCode);
  return result;
}

Dword GetInstalledProductCode(RunContext& context, std::wstring* productCode) {
  std::wstring upgradeCode;
  Dword read = GetUpgradeCode(context, &upgradeCode);
  if (read != kErrorSuccess) return read;
  return GetRelatedProduct(context, upgradeCode, 0, productCode);
}

Dword ReadNewProductNameAndVersion(RunContext& context, const std::wstring& basePattern,
                                   bool silent, std::wstring* name, std::wstring* version) {
  std::wstring path;
  Dword found = FindNamePackage(context, basePattern, &path);
  if (found != kErrorSuccess) {
    ReportPackageError(context, silent, kNoOwner, msg::kNamePackageNotFound);
    return kErrorNoData;
  }
  PackageInfo package(context);
  Dword opened = package.Open(path);
  if (opened != kErrorSuccess) {
    ReportPackageError(context, silent, kNoOwner, msg::kNewPackageNotOpened);
    return opened;
  }
  Dword read = package.GetProperty(L"ProductName", name);
  if (read == kErrorSuccess) read = package.GetProperty(L"ProductVersion", version);
  if (read != kErrorSuccess) {
    ReportPackageError(context, silent, kNoOwner, msg::kNewPackageVersionUnknown);
    return read;
  }
  return kErrorSuccess;
}

}  // namespace boot
