#include <gtest/gtest.h>

#include "package/compare_with_installed.h"
#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

constexpr int kUntouched = 42;

class CompareWithInstalledTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-x64.msi", L"2.0.0.0");
    sim::AddInstalledPlugin(windows, sim::kNewProductCode, L"1.0.0");
  }

  Dword Compare(bool silent = false, bool offer = true,
                const std::wstring& productCode = sim::kNewProductCode) {
    return CompareWithInstalled(context, &comparison, offer, productCode, L"quorlcom*.msi", silent,
                                &installedVersion);
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
  int comparison = kUntouched;
  std::wstring installedVersion = L"earlier";
};

TEST_F(CompareWithInstalledTest, ANewerPackageAsksTheUpgradeQuestion) {
  EXPECT_EQ(Compare(), kErrorSuccess);
  EXPECT_EQ(comparison, 1);
  EXPECT_EQ(installedVersion, L"1.0.0");
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].owner, 0u);
  EXPECT_EQ(windows.boxes[0].text,
            L"Будет произведено обновление Stalver Browser plug-in 1.0.0 до версии 2.0.0.0. "
            L"Обновить?");
  EXPECT_EQ(windows.boxes[0].caption, L"Обновление");
  EXPECT_EQ(windows.boxes[0].style, kQuestionBox);
  EXPECT_EQ(windows.openMsiHandles(), 0);
}

TEST_F(CompareWithInstalledTest, NoToTheUpgradeEndsTheProcessWithOne) {
  windows.boxAnswers = {kIdNo};
  try {
    Compare();
    FAIL() << "the process was not ended";
  } catch (const sim::SimulatedExit& exit) {
    EXPECT_EQ(exit.exitCode, 1u);
  }
  EXPECT_EQ(windows.events.back(), L"exit:1");
  EXPECT_EQ(comparison, kUntouched);
  EXPECT_TRUE(windows.children.empty());
}

TEST_F(CompareWithInstalledTest, PlaceholdersInTheProductNameStayText) {
  windows.packages[L"C:\\Setup\\quorlcom-x64.msi"].properties[L"ProductName"] = L"A%sB";
  EXPECT_EQ(Compare(), kErrorSuccess);
  EXPECT_EQ(windows.boxes.at(0).text,
            L"Будет произведено обновление A%sB 1.0.0 до версии 2.0.0.0. Обновить?");
}

struct QuietCase {
  const char* name;
  const wchar_t* installed;
  bool silent;
  bool offer;
  int answer;
};

TEST_F(CompareWithInstalledTest, NoQuestionWhenSilentOffOrNotNewer) {
  const QuietCase cases[] = {
      {"newer, silent", L"1.0", true, true, 1},
      {"newer, no offer", L"1.0", false, false, 1},
      {"equal", L"2.0", false, true, 0},
      {"older", L"2.0.0.1", false, true, -1},
      {"installed text empty", L"", true, true, 1},
  };
  for (const auto& c : cases) {
    windows.products[0].versionString = c.installed;
    comparison = kUntouched;
    EXPECT_EQ(Compare(c.silent, c.offer), kErrorSuccess) << c.name;
    EXPECT_EQ(comparison, c.answer) << c.name;
    EXPECT_EQ(installedVersion, c.installed) << c.name;
  }
  EXPECT_TRUE(windows.boxes.empty());
}

TEST_F(CompareWithInstalledTest, AFailedLengthQueryGivesOneAnd131) {
  EXPECT_EQ(Compare(false, true, L"{00000000-0000-0000-0000-000000000000}"), 1u);
  sim::ExpectOnlyPackageErrorBox(windows, 131, 0);
  EXPECT_EQ(comparison, kUntouched);
  EXPECT_EQ(installedVersion, L"earlier");
  EXPECT_TRUE(sim::EventsWith(windows, L"find:").empty());
}

TEST_F(CompareWithInstalledTest, AFailedValueQueryGivesItsCodeAnd131) {
  windows.productInfoValueError = 1610;
  EXPECT_EQ(Compare(), 1610u);
  sim::ExpectOnlyPackageErrorBox(windows, 131, 0);
  EXPECT_EQ(comparison, kUntouched);
  EXPECT_EQ(installedVersion, L"earlier");
}

TEST_F(CompareWithInstalledTest, ANameAndVersionFailureKeepsTheInstalledVersion) {
  windows.packages.clear();
  EXPECT_EQ(Compare(), kErrorInstallPackageOpenFailed);
  sim::ExpectOnlyPackageErrorBox(windows, 133, 0);
  EXPECT_EQ(comparison, kUntouched);
  EXPECT_EQ(installedVersion, L"1.0.0");
}

TEST_F(CompareWithInstalledTest, SilentFailuresShowNothing) {
  EXPECT_EQ(Compare(true, true, L""), 1u);
  windows.productInfoValueError = 1610;
  EXPECT_EQ(Compare(true), 1610u);
  windows.productInfoValueError = 0;
  windows.moduleFileName = L"D:\\elsewhere\\bootstrapper.exe";
  EXPECT_EQ(Compare(true), kErrorNoData);
  EXPECT_TRUE(windows.boxes.empty());
  EXPECT_EQ(comparison, kUntouched);
}

}  // namespace
}  // namespace boot
