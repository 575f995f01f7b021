#include <gtest/gtest.h>

#include "package/install_plugin.h"
#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

constexpr WindowHandle kOwner = 0x1001;
const std::wstring kPackage = L"C:\\Setup\\quorlcom-x64.msi";
const std::wstring kMsiexecLine =
    L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-x64.msi\" /Lv! "
    L"\"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log\" REBOOT=R ";
const std::wstring kReinstall = L" REINSTALL=ALL REINSTALLMODE=vomus";
const std::wstring kNewHashDeletion =
    L"delete-file:C:\\Windows\\installer\\SourceHash" + std::wstring(sim::kNewProductCode);

class InstallPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.ownerWindow = kOwner;
    windows.now = sim::kMarchFirst2027;
    sim::AddPluginPackageFile(windows, kPackage, L"2.0.0.0");
  }

  Dword Install(const std::wstring& quorlArgs = L"", bool silent = false, bool reinstall = false) {
    return InstallPlugin(context, silent, logPath, quorlArgs, reinstall);
  }

  std::wstring OnlyCommandLine() {
    EXPECT_EQ(windows.children.size(), 1u);
    return windows.children.empty() ? L"" : windows.children[0].commandLine;
  }

  void ExpectBox(std::size_t index, Word message, const std::wstring& caption, Dword style) {
    ASSERT_LT(index, windows.boxes.size());
    EXPECT_EQ(windows.boxes[index].owner, kOwner);
    EXPECT_EQ(windows.boxes[index].text, sim::Text(message));
    EXPECT_EQ(windows.boxes[index].caption, caption);
    EXPECT_EQ(windows.boxes[index].style, style);
  }

  void ExpectNothingRun() {
    EXPECT_TRUE(windows.children.empty());
    EXPECT_TRUE(sim::EventsWith(windows, L"delete-file:").empty());
    EXPECT_TRUE(sim::EventsWith(windows, L"msi-source").empty());
    EXPECT_EQ(logPath, L"");
  }

  void TearDown() override {
    EXPECT_EQ(windows.openMsiHandles(), 0);
    EXPECT_EQ(windows.openKernelHandles(), 0);
    EXPECT_EQ(windows.openRegistryKeys(), 0);
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
  std::wstring logPath;
};

TEST_F(InstallPluginTest, FreshInstall) {
  EXPECT_EQ(Install(L" ALLUSERS=1 "), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb ADDNPQUORL=1 ALLUSERS=1 ");
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_TRUE(sim::EventsWith(windows, L"delete-file:").empty());
  EXPECT_EQ(logPath, L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log");
  EXPECT_EQ(windows.moduleLookups, std::vector<std::wstring>(3, L"kernel32"));
}

TEST_F(InstallPluginTest, TheInstalledCodeIsAskedBeforeThePackagesOwn) {
  Install();
  EXPECT_EQ(
      sim::EventsWith(windows, L"msi-property:"),
      (std::vector<std::wstring>{L"msi-property:UpgradeCode,0", L"msi-property:UpgradeCode,39",
                                 L"msi-property:ProductCode,0", L"msi-property:ProductCode,39"}));
}

TEST_F(InstallPluginTest, UpgradeAfterYesWithARestartRequest) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0.0");
  windows.childBehaviours[L"C:\\Windows\\system32\\msiexec.exe"].exitCode = 3010;
  EXPECT_EQ(Install(), kErrorSuccess);
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].owner, 0u);
  EXPECT_EQ(windows.boxes[0].text,
            L"Будет произведено обновление Stalver Browser plug-in 1.0.0 до версии 2.0.0.0. "
            L"Обновить?");
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb");
  EXPECT_LT(sim::FirstEventWith(windows, kNewHashDeletion), sim::FirstEventWith(windows, L"run:"));
  EXPECT_TRUE(windows.KeyExists(L"Software\\NeedBstrReboot"));
}

TEST_F(InstallPluginTest, NoToTheUpgradeEndsTheProcessBeforeAnythingRuns) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0.0");
  windows.boxAnswers = {kIdNo};
  EXPECT_THROW(Install(), sim::SimulatedExit);
  EXPECT_EQ(windows.events.back(), L"exit:1");
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, AHigherVersionWithTheSameProductCodeIsReinstalled) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"1.9");
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb" + kReinstall);
}

TEST_F(InstallPluginTest, SameVersionSilentRunsNothing) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"2.0");
  EXPECT_EQ(Install(L"", true), kErrorSuccess);
  EXPECT_TRUE(windows.boxes.empty());
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, SameVersionAsksAboutReinstalling) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"2.0.0.0");
  EXPECT_EQ(Install(), kErrorSuccess);
  ExpectBox(0, 147, L"Обновление", kQuestionBox);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb" + kReinstall);
}

TEST_F(InstallPluginTest, NoToReinstallingGives1602) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"2.0.0.0");
  windows.boxAnswers = {kIdNo};
  EXPECT_EQ(Install(), kErrorInstallUserExit);
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, ReinstallOptionProceedsWithoutAQuestionEvenSilently) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"2.0.0.0");
  EXPECT_EQ(Install(L"", true, true), kErrorSuccess);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb" + kReinstall);
  EXPECT_LT(sim::FirstEventWith(windows, kNewHashDeletion), sim::FirstEventWith(windows, L"run:"));
}

TEST_F(InstallPluginTest, AnOlderPackageIsRefusedEvenWithReinstall) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"3.0");
  EXPECT_EQ(Install(L"", false, true), kErrorProductVersion);
  ASSERT_EQ(windows.boxes.size(), 1u);
  ExpectBox(0, 150, L"Обновление", kInformationBox);
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, AnOlderPackageProceedsWhenSilent) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"3.0");
  EXPECT_EQ(Install(L"", true), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb");
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(InstallPluginTest, NoPackageShows151And232) {
  windows.packages.clear();
  windows.moduleFileName = L"C:\\Empty\\bootstrapper.exe";
  EXPECT_EQ(Install(), kErrorNoData);
  ASSERT_EQ(windows.boxes.size(), 1u);
  ExpectBox(0, 151, L"Ошибка", kErrorBox);
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, ADamagedPackageShows151WithTheOpenError) {
  windows.packages[kPackage].damaged = true;
  EXPECT_EQ(Install(), kErrorInstallPackageInvalid);
  ExpectBox(0, 151, L"Ошибка", kErrorBox);
  windows.boxes.clear();
  EXPECT_EQ(Install(L"", true), kErrorInstallPackageInvalid);
  EXPECT_TRUE(windows.boxes.empty());
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, FeatureAbsentFragments) {
  sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"1.0", kInstallStateAbsent);
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_EQ(
      OnlyCommandLine(),
      kMsiexecLine + L" /qb COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}" + kReinstall);
  windows.products[0].productCode = sim::kOtherProductCode;
  windows.children.clear();
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb ADDLOCAL=ALL");
}

TEST_F(InstallPluginTest, AProductCodeDifferingInLetterCaseIsAnotherProduct) {
  windows.packages[kPackage].properties[L"ProductCode"] = L"{ABCDEF01-2222-3333-4444-555555555555}";
  sim::AddInstalledPlugin(windows, L"{abcdef01-2222-3333-4444-555555555555}", L"1.0");
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb");
}

TEST_F(InstallPluginTest, UserQuietOptionsAndTheBasicUi) {
  EXPECT_EQ(Install(L" /qn "), kErrorSuccess);
  EXPECT_EQ(windows.children.at(0).commandLine, kMsiexecLine + L" ADDNPQUORL=1 /qn ");
  EXPECT_EQ(Install(L" /QN "), kErrorSuccess);
  EXPECT_EQ(windows.children.at(1).commandLine, kMsiexecLine + L" /qb ADDNPQUORL=1 /QN ");
}

TEST_F(InstallPluginTest, AnAdvertisedProductCountsAsAFreshInstall) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0");
  windows.products[0].state = 1;
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_EQ(OnlyCommandLine(), kMsiexecLine + L" /qb ADDNPQUORL=1");
}

TEST_F(InstallPluginTest, AComparisonFailureIsReturned) {
  sim::AddInstalledPlugin(windows, sim::kOtherProductCode, L"1.0");
  windows.productInfoValueError = 1610;
  EXPECT_EQ(Install(), 1610u);
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].text, sim::Text(131));
  ExpectNothingRun();
}

TEST_F(InstallPluginTest, AFailedMsiexecIsReturnedWithItsLog) {
  windows.childBehaviours[L"C:\\Windows\\system32\\msiexec.exe"].exitCode = 1603;
  EXPECT_EQ(Install(), kErrorInstallFailure);
  EXPECT_EQ(logPath, L"C:\\Temp\\quorlcom-x64.msi_2027-03-01-09-05-03.log");
  EXPECT_FALSE(windows.KeyExists(L"Software\\NeedBstrReboot"));
}

TEST_F(InstallPluginTest, On32BitWindowsTheWin32PackageIsInstalled) {
  windows.wow64 = false;
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-win32.msi");
  EXPECT_EQ(Install(), kErrorSuccess);
  EXPECT_EQ(OnlyCommandLine(),
            L"\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\Setup\\quorlcom-win32.msi\" /Lv! "
            L"\"C:\\Temp\\quorlcom-win32.msi_2027-03-01-09-05-03.log\" REBOOT=R  /qb "
            L"ADDNPQUORL=1");
}

TEST_F(InstallPluginTest, NoInstallPackageShows139AfterTheCodesWereRead) {
  windows.wow64 = false;  // *win32**.msi finds nothing, *.msi finds the x64 package
  EXPECT_EQ(Install(), kErrorNoData);
  ASSERT_EQ(windows.boxes.size(), 1u);
  ExpectBox(0, 139, L"Ошибка", kErrorBox);
  ExpectNothingRun();
}

}  // namespace
}  // namespace boot
