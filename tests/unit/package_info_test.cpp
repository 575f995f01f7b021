#include "package/package_info.h"

#include <gtest/gtest.h>

#include <map>

#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

// Lets a property's length query or its read fail with a chosen code.
class FaultyPropertyWindows : public sim::SimulatedWindows {
 public:
  std::map<std::wstring, Dword> lengthQueryErrors;
  std::map<std::wstring, Dword> readErrors;

  Dword MsiGetProperty(MsiHandle install, const std::wstring& name, wchar_t* value,
                       Dword* size) override {
    const auto& errors = *size == 0 ? lengthQueryErrors : readErrors;
    Dword result = SimulatedWindows::MsiGetProperty(install, name, value, size);
    auto failure = errors.find(name);
    return failure == errors.end() ? result : failure->second;
  }
};

constexpr const wchar_t* kX64Package = L"C:\\Setup\\quorlcom-x64.msi";

class PackageInfoTest : public ::testing::Test {
 protected:
  Dword ReadNameAndVersion(bool silent = false) {
    return ReadNewProductNameAndVersion(context, L"quorlcom*.msi", silent, &name, &version);
  }

  FaultyPropertyWindows windows;
  RunContext context{windows};
  std::wstring name = L"before";
  std::wstring version = L"before";
};

TEST_F(PackageInfoTest, NewProductCodeComesFromTheArchitecturePackage) {
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-win32.msi", L"1.0",
                            sim::kOtherProductCode);
  sim::AddPluginPackageFile(windows, kX64Package);
  std::wstring code;
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorSuccess);
  EXPECT_EQ(code, sim::kNewProductCode);
  EXPECT_EQ(sim::EventsWith(windows, L"msi-"),
            (std::vector<std::wstring>{L"msi-open:C:\\Setup\\quorlcom-x64.msi,1",
                                       L"msi-property:ProductCode,0",
                                       L"msi-property:ProductCode,39", L"msi-close:64"}));
  EXPECT_EQ(windows.openMsiHandles(), 0);
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(PackageInfoTest, WithoutAnArchitecturePackageAnyMsiGivesTheCode) {
  windows.wow64 = false;
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\sub\\plugin.msi");
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-x64.msi", L"1.0",
                            sim::kOtherProductCode);
  std::wstring code;
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorSuccess);
  EXPECT_EQ(code, sim::kOtherProductCode);  // the own folder's *.msi wins
  EXPECT_EQ(
      sim::EventsWith(windows, L"find:"),
      (std::vector<std::wstring>{L"find:C:\\Setup\\*win32**.msi", L"find:C:\\Setup\\*",
                                 L"find:C:\\Setup\\sub\\*win32**.msi", L"find:C:\\Setup\\*.msi"}));
}

TEST_F(PackageInfoTest, ProductCodeQueriesFailQuietly) {
  std::wstring code = L"kept";
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorNoData);
  EXPECT_EQ(GetInstalledProductCode(context, &code), kErrorNoData);
  windows.AddFile(kX64Package);
  windows.packages[kX64Package].damaged = true;
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorInstallPackageInvalid);
  EXPECT_EQ(GetInstalledProductCode(context, &code), kErrorInstallPackageInvalid);
  EXPECT_EQ(code, L"kept");
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, AMatchingFolderCannotBeOpened) {
  windows.AddFolder(L"C:\\Setup\\x64.msi");
  std::wstring code;
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorInstallPackageOpenFailed);
  EXPECT_EQ(sim::EventsWith(windows, L"msi-open:"),
            std::vector<std::wstring>{L"msi-open:C:\\Setup\\x64.msi,1"});
}

TEST_F(PackageInfoTest, APathBeyondMaxPathIsNeverHandedToWindowsInstaller) {
  // The bootstrapper may lie in a deep folder; the package one folder below it.
  std::wstring folder = L"C:\\" + std::wstring(230, L'п');
  windows.moduleFileName = folder + L"\\bootstrapper.exe";
  std::wstring fits = folder + L"\\" + std::wstring(259 - folder.size() - 1 - 9, L'a') + L"x64.msi";
  ASSERT_EQ(fits.size(), 257u);
  std::wstring tooLong = folder + L"\\sub folder\\" + std::wstring(20, L'b') + L"x64.msi";
  ASSERT_GE(tooLong.size(), 260u);
  sim::AddPluginPackageFile(windows, tooLong);
  std::wstring code = L"kept";
  EXPECT_EQ(GetNewProductCode(context, &code), 206u);  // ERROR_FILENAME_EXCED_RANGE
  EXPECT_EQ(code, L"kept");
  EXPECT_TRUE(sim::EventsWith(windows, L"msi-open:").empty());
  sim::AddPluginPackageFile(windows, fits);
  EXPECT_EQ(GetNewProductCode(context, &code), kErrorSuccess);
  EXPECT_EQ(sim::EventsWith(windows, L"msi-open:").size(), 1u);
}

TEST_F(PackageInfoTest, InstalledProductCodeIsTheFirstRelatedProduct) {
  sim::AddPluginPackageFile(windows, kX64Package);
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0.0.0");
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"2.0.0.0");
  std::wstring code;
  EXPECT_EQ(GetInstalledProductCode(context, &code), kErrorSuccess);
  EXPECT_EQ(code, sim::kOtherProductCode);
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, NoRelatedProductGives259AndAnEmptyCode) {
  sim::AddPluginPackageFile(windows, kX64Package);
  std::wstring code;
  EXPECT_EQ(GetInstalledProductCode(context, &code), kErrorNoMoreItems);
  EXPECT_EQ(code, L"");
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, AFailedUpgradeCodeReadIsReturned) {
  sim::AddPluginPackageFile(windows, kX64Package);
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0.0.0");
  windows.lengthQueryErrors[L"UpgradeCode"] = 1627;
  std::wstring code;
  EXPECT_EQ(GetInstalledProductCode(context, &code), 1627u);
  EXPECT_EQ(code, L"");
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, PropertyReadKeepsTheValueWhenTheLengthQueryFails) {
  sim::AddPluginPackageFile(windows, kX64Package);
  PackageInfo package(context);
  ASSERT_EQ(package.Open(kX64Package), kErrorSuccess);
  windows.lengthQueryErrors[L"ProductName"] = 1615;
  std::wstring value = L"kept";
  EXPECT_EQ(package.GetProperty(L"ProductName", &value), 1615u);
  EXPECT_EQ(value, L"kept");
  windows.readErrors[L"ProductVersion"] = 1627;
  EXPECT_EQ(package.GetProperty(L"ProductVersion", &value), 1627u);
  EXPECT_EQ(value, L"2.0.0.0");  // the text before the first NUL, whatever the read returned
  EXPECT_EQ(package.GetProperty(L"Missing", &value), kErrorSuccess);
  EXPECT_EQ(value, L"");
}

TEST_F(PackageInfoTest, CloseReleasesTheHandleOnceAndTheDestructorCloses) {
  sim::AddPluginPackageFile(windows, kX64Package);
  {
    PackageInfo package(context);
    ASSERT_EQ(package.Open(kX64Package), kErrorSuccess);
    EXPECT_EQ(windows.openMsiHandles(), 1);
    package.Close();
    package.Close();
    EXPECT_EQ(sim::EventsWith(windows, L"msi-close:").size(), 1u);
    ASSERT_EQ(package.Open(kX64Package), kErrorSuccess);
  }
  EXPECT_EQ(sim::EventsWith(windows, L"msi-close:").size(), 2u);
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, NameAndVersionPreferTheLanguagePackage) {
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\eng-quorlcom.msi", L"1.1");
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\rus-quorlcom.msi", L"1.2");
  EXPECT_EQ(ReadNameAndVersion(), kErrorSuccess);
  EXPECT_EQ(name, sim::kPluginName);
  EXPECT_EQ(version, L"1.2");
  windows.uiLanguage = 0x0409;
  EXPECT_EQ(ReadNameAndVersion(), kErrorSuccess);
  EXPECT_EQ(version, L"1.1");
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

// The language word must stand before the stem: "*rus*" followed by "quorlcom*.msi".
TEST_F(PackageInfoTest, ALanguageWordAfterTheStemIsNotPreferred) {
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-eng.msi", L"1.1");
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-rus.msi", L"1.2");
  EXPECT_EQ(ReadNameAndVersion(), kErrorSuccess);
  EXPECT_EQ(version, L"1.1");
  EXPECT_EQ(sim::EventsWith(windows, L"find:C:\\Setup\\*rus*quorlcom*.msi").size(), 1u);
}

TEST_F(PackageInfoTest, NameAndVersionFallBackToTheBasePattern) {
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\Пакет ЭЦП\\quorlcom x64.msi", L"3.0");
  EXPECT_EQ(ReadNameAndVersion(), kErrorSuccess);
  EXPECT_EQ(version, L"3.0");
  EXPECT_EQ(sim::EventsWith(windows, L"msi-open:"),
            std::vector<std::wstring>{L"msi-open:C:\\Setup\\Пакет ЭЦП\\quorlcom x64.msi,1"});
}

TEST_F(PackageInfoTest, NoNameAndVersionPackageShows135) {
  windows.AddFile(L"C:\\Setup\\other.msi");
  EXPECT_EQ(ReadNameAndVersion(), kErrorNoData);
  sim::ExpectOnlyPackageErrorBox(windows, 135, 0);
  EXPECT_EQ(name, L"before");
}

TEST_F(PackageInfoTest, ADamagedPackageShows133) {
  windows.AddFile(L"C:\\Setup\\quorlcom-rus.msi");
  windows.packages[L"C:\\Setup\\quorlcom-rus.msi"].damaged = true;
  EXPECT_EQ(ReadNameAndVersion(), kErrorInstallPackageInvalid);
  sim::ExpectOnlyPackageErrorBox(windows, 133, 0);
}

TEST_F(PackageInfoTest, AFailedNameReadStopsBeforeTheVersionAndShows134) {
  sim::AddPluginPackageFile(windows, kX64Package);
  windows.readErrors[L"ProductName"] = 1627;
  EXPECT_EQ(ReadNameAndVersion(), 1627u);
  sim::ExpectOnlyPackageErrorBox(windows, 134, 0);
  EXPECT_TRUE(sim::EventsWith(windows, L"msi-property:ProductVersion").empty());
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(PackageInfoTest, AFailedVersionReadShows134) {
  sim::AddPluginPackageFile(windows, kX64Package);
  windows.lengthQueryErrors[L"ProductVersion"] = 1615;
  EXPECT_EQ(ReadNameAndVersion(), 1615u);
  sim::ExpectOnlyPackageErrorBox(windows, 134, 0);
  EXPECT_EQ(version, L"before");
}

TEST_F(PackageInfoTest, SilentShowsNothingAndKeepsTheCodes) {
  EXPECT_EQ(ReadNameAndVersion(true), kErrorNoData);
  windows.AddFile(L"C:\\Setup\\quorlcom-rus.msi");
  windows.packages[L"C:\\Setup\\quorlcom-rus.msi"].damaged = true;
  EXPECT_EQ(ReadNameAndVersion(true), kErrorInstallPackageInvalid);
  windows.packages[L"C:\\Setup\\quorlcom-rus.msi"].damaged = false;
  windows.readErrors[L"ProductName"] = 1627;
  EXPECT_EQ(ReadNameAndVersion(true), 1627u);
  EXPECT_TRUE(windows.boxes.empty());
}

}  // namespace
}  // namespace boot
