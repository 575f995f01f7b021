#include "driver/environment_checks.h"

#include <gtest/gtest.h>

#include "run/windows_release.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

struct ReleaseCase {
  Dword major;
  Dword minor;
  Word servicePack;
  Dword result;
};

TEST(CheckWindowsReleaseTest, ServicePackTable) {
  const ReleaseCase cases[] = {
      {5, 0, 0, 3}, {5, 0, 3, 3}, {5, 0, 4, 0}, {5, 1, 0, 4}, {5, 1, 1, 4},
      {5, 1, 2, 0}, {5, 1, 3, 0}, {5, 2, 0, 5}, {5, 2, 1, 0}, {5, 2, 2, 0},
      {4, 0, 0, 0}, {6, 0, 0, 0}, {6, 1, 0, 0}, {6, 3, 0, 0}, {10, 0, 0, 0},
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows windows;
    windows.majorVersion = c.major;
    windows.minorVersion = c.minor;
    windows.servicePackMajor = c.servicePack;
    RunContext context(windows);
    EXPECT_EQ(CheckWindowsRelease(context, false), c.result)
        << c.major << "." << c.minor << " SP" << c.servicePack;
    EXPECT_EQ(windows.boxes.size(), c.result == 0 ? 0u : 1u);
    for (const auto& box : windows.boxes) {
      EXPECT_EQ(box.caption, L"Сталвер ЭЦП Browser plug-in");
      EXPECT_EQ(box.style, 0x50010u);
    }
  }
}

TEST(CheckWindowsReleaseTest, SilentShowsNothingWithTheSameResult) {
  sim::SimulatedWindows windows;
  windows.majorVersion = 5;
  windows.minorVersion = 2;
  RunContext context(windows);
  EXPECT_EQ(CheckWindowsRelease(context, true), 5u);
  EXPECT_TRUE(windows.boxes.empty());
}

TEST(CheckWindowsReleaseTest, FailingVersionCheckPasses) {
  sim::SimulatedWindows windows;
  windows.majorVersion = 5;
  windows.minorVersion = 1;
  windows.verifyVersionFails = true;
  RunContext context(windows);
  EXPECT_EQ(CheckWindowsRelease(context, false), 0u);
}

TEST(IsNt5ServicePackBelowTest, AsksForEqualReleaseAndLowerServicePack) {
  sim::SimulatedWindows windows;
  RunContext context(windows);
  IsNt5ServicePackBelow(context, 1, 2);
  ASSERT_EQ(windows.versionChecks.size(), 1u);
  const auto& check = windows.versionChecks[0];
  EXPECT_EQ(check.typeMask, 0x23u);
  // Three bits per condition: minor (bit 0) equal, major (bit 1) equal, SP major (bit 5) less.
  EXPECT_EQ(check.conditionMask, 0x1u | (0x1u << 3) | (std::uint64_t{4} << 15));
  EXPECT_EQ(check.info.majorVersion, 5u);
  EXPECT_EQ(check.info.minorVersion, 1u);
  EXPECT_EQ(check.info.servicePackMajor, 2u);
  EXPECT_EQ(check.info.servicePackMinor, 0u);
  EXPECT_EQ(check.info.buildNumber, 0u);
}

TEST(IsNt5ReleaseTest, ComparesMajorAndMinor) {
  sim::SimulatedWindows windows;
  RunContext context(windows);
  windows.majorVersion = 5;
  windows.minorVersion = 2;
  EXPECT_TRUE(IsNt5Release(context, 2));
  EXPECT_FALSE(IsNt5Release(context, 1));
  windows.majorVersion = 6;
  EXPECT_FALSE(IsNt5Release(context, 2));
}

TEST(CheckAdministratorTest, RefusesWithMessageUnlessSilent) {
  sim::SimulatedWindows windows;
  windows.administrator = false;
  RunContext context(windows);
  context.ownerWindow = 0x55;
  EXPECT_EQ(CheckAdministrator(context, false, L"Заголовок"), 1u);
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].text, L"Программа должна быть запущена от имени администратора.");
  EXPECT_EQ(windows.boxes[0].caption, L"Заголовок");
  EXPECT_EQ(windows.boxes[0].owner, 0x55u);
  EXPECT_EQ(CheckAdministrator(context, true, L"Заголовок"), 1u);
  EXPECT_EQ(windows.boxes.size(), 1u);
  windows.administrator = true;
  EXPECT_EQ(CheckAdministrator(context, false, L"Заголовок"), 0u);
}

}  // namespace
}  // namespace boot
