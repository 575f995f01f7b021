// Windows Installer, through msi.dll found at run time (see SystemDll).
#include "platform/win32/win32_platform.h"

namespace boot {
namespace {

using MsiSetInternalUIFunction = decltype(&::MsiSetInternalUI);
using MsiOpenPackageExFunction = decltype(&::MsiOpenPackageExW);
using MsiGetPropertyFunction = decltype(&::MsiGetPropertyW);
using MsiEnumRelatedProductsFunction = decltype(&::MsiEnumRelatedProductsW);
using MsiViewCloseFunction = decltype(&::MsiViewClose);
using MsiCloseHandleFunction = decltype(&::MsiCloseHandle);
using MsiGetProductInfoFunction = decltype(&::MsiGetProductInfoW);
using MsiQueryProductStateFunction = decltype(&::MsiQueryProductStateW);
using MsiQueryFeatureStateFunction = decltype(&::MsiQueryFeatureStateW);
using MsiSourceListClearAllFunction = decltype(&::MsiSourceListClearAllW);
using MsiSourceListSetInfoFunction = decltype(&::MsiSourceListSetInfoW);

// A size in and out of a Windows Installer call, whose DWORD is not the seam's Dword type.
class SizeInOut {
 public:
  explicit SizeInOut(Dword* size) : size_(size), value_(size ? *size : 0) {}
  ~SizeInOut() {
    if (size_ != nullptr) *size_ = value_;
  }
  SizeInOut(const SizeInOut&) = delete;
  SizeInOut& operator=(const SizeInOut&) = delete;

  DWORD* get() { return size_ != nullptr ? &value_ : nullptr; }

 private:
  Dword* size_;
  DWORD value_;
};

}  // namespace

int Win32Platform::MsiSetInternalUI(int uiLevel) {
  const auto setInternalUI = msi_.Find<MsiSetInternalUIFunction>("MsiSetInternalUI");
  if (setInternalUI == nullptr) return INSTALLUILEVEL_NOCHANGE;
  return setInternalUI(static_cast<INSTALLUILEVEL>(uiLevel), nullptr);
}

Dword Win32Platform::MsiOpenPackageEx(const std::wstring& packagePath, Dword options,
                                      MsiHandle* handle) {
  const auto openPackageEx = msi_.Find<MsiOpenPackageExFunction>("MsiOpenPackageExW");
  if (openPackageEx == nullptr) return msi_.MissingError();
  MSIHANDLE opened = 0;
  const UINT status = openPackageEx(packagePath.c_str(), options, &opened);
  *handle = opened;
  return status;
}

Dword Win32Platform::MsiGetProperty(MsiHandle install, const std::wstring& name, wchar_t* value,
                                    Dword* size) {
  const auto getProperty = msi_.Find<MsiGetPropertyFunction>("MsiGetPropertyW");
  if (getProperty == nullptr) return msi_.MissingError();
  SizeInOut length(size);
  return getProperty(install, name.c_str(), value, length.get());
}

Dword Win32Platform::MsiEnumRelatedProducts(const std::wstring& upgradeCode, Dword reserved,
                                            Dword productIndex, wchar_t* productBuffer) {
  const auto enumRelatedProducts =
      msi_.Find<MsiEnumRelatedProductsFunction>("MsiEnumRelatedProductsW");
  if (enumRelatedProducts == nullptr) return msi_.MissingError();
  return enumRelatedProducts(upgradeCode.c_str(), reserved, productIndex, productBuffer);
}

Dword Win32Platform::MsiViewClose(MsiHandle view) {
  const auto viewClose = msi_.Find<MsiViewCloseFunction>("MsiViewClose");
  if (viewClose == nullptr) return msi_.MissingError();
  return viewClose(view);
}

Dword Win32Platform::MsiCloseHandle(MsiHandle handle) {
  const auto closeHandle = msi_.Find<MsiCloseHandleFunction>("MsiCloseHandle");
  if (closeHandle == nullptr) return msi_.MissingError();
  return closeHandle(handle);
}

Dword Win32Platform::MsiGetProductInfo(const std::wstring& product, const std::wstring& property,
                                       wchar_t* value, Dword* size) {
  const auto getProductInfo = msi_.Find<MsiGetProductInfoFunction>("MsiGetProductInfoW");
  if (getProductInfo == nullptr) return msi_.MissingError();
  SizeInOut length(size);
  return getProductInfo(product.c_str(), property.c_str(), value, length.get());
}

int Win32Platform::MsiQueryProductState(const std::wstring& product) {
  const auto queryProductState = msi_.Find<MsiQueryProductStateFunction>("MsiQueryProductStateW");
  if (queryProductState == nullptr) return INSTALLSTATE_UNKNOWN;
  return queryProductState(product.c_str());
}

int Win32Platform::MsiQueryFeatureState(const std::wstring& product, const std::wstring& feature) {
  const auto queryFeatureState = msi_.Find<MsiQueryFeatureStateFunction>("MsiQueryFeatureStateW");
  if (queryFeatureState == nullptr) return INSTALLSTATE_UNKNOWN;
  return queryFeatureState(product.c_str(), feature.c_str());
}

Dword Win32Platform::MsiSourceListClearAll(const std::wstring& product, Dword reserved) {
  const auto clearAll = msi_.Find<MsiSourceListClearAllFunction>("MsiSourceListClearAllW");
  if (clearAll == nullptr) return msi_.MissingError();
  return clearAll(product.c_str(), nullptr, reserved);
}

Dword Win32Platform::MsiSourceListSetInfo(const std::wstring& product, int context, Dword options,
                                          const std::wstring& property, const std::wstring& value) {
  const auto setInfo = msi_.Find<MsiSourceListSetInfoFunction>("MsiSourceListSetInfoW");
  if (setInfo == nullptr) return msi_.MissingError();
  return setInfo(product.c_str(), nullptr, static_cast<MSIINSTALLCONTEXT>(context), options,
                 property.c_str(), value.c_str());
}

}  // namespace boot
