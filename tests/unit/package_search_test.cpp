#include "package/package_search.h"

#include <gtest/gtest.h>

#include "support/plugin_machine.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

// IsWow64Process, then IsWow64Process2 and GetMachineTypeAttributes, each from kernel32.
const std::vector<std::wstring> kKernel32Thrice(3, L"kernel32");

class PackageSearchTest : public ::testing::Test {
 protected:
  // The path found, or "232" when nothing was; every search must be closed again.
  std::wstring Find(const std::wstring& pattern) {
    std::wstring path = L"untouched";
    Dword result = FindPackageFile(context, pattern, &path);
    EXPECT_EQ(windows.openKernelHandles(), 0) << "a search was left open";
    if (result == kErrorNoData) {
      EXPECT_EQ(path, L"untouched");
      return L"232";
    }
    EXPECT_EQ(result, kErrorSuccess);
    return path;
  }

  sim::SimulatedWindows windows;
  RunContext context{windows};
};

TEST_F(PackageSearchTest, TheThreeLookupsPickDifferentFilesInOneFolder) {
  windows.AddFile(L"C:\\Setup\\tools-x64.msi");
  windows.AddFile(L"C:\\Setup\\rus-quorlcom.msi");
  windows.AddFile(L"C:\\Setup\\quorlcom-x64.msi");
  EXPECT_EQ(Find(ArchitectureFilter(context) + L"*.msi"), L"C:\\Setup\\tools-x64.msi");
  EXPECT_EQ(Find(LanguageFilter(context) + L"quorlcom*.msi"), L"C:\\Setup\\rus-quorlcom.msi");
  EXPECT_EQ(Find(L"quorlcom" + ArchitectureFilter(context)), L"C:\\Setup\\quorlcom-x64.msi");
  EXPECT_EQ(sim::EventsWith(windows, L"find:"),
            (std::vector<std::wstring>{L"find:C:\\Setup\\*x64**.msi",
                                       L"find:C:\\Setup\\*rus*quorlcom*.msi",
                                       L"find:C:\\Setup\\quorlcom*x64*"}));
}

TEST_F(PackageSearchTest, AMatchInTheOwnFolderHidesTheSubfolders) {
  windows.AddFile(L"C:\\Setup\\packages\\quorlcom-x64-1.msi");
  windows.AddFile(L"C:\\Setup\\quorlcom-x64-2.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"C:\\Setup\\quorlcom-x64-2.msi");
  EXPECT_EQ(sim::EventsWith(windows, L"find:"),
            std::vector<std::wstring>{L"find:C:\\Setup\\quorlcom*x64*"});
}

TEST_F(PackageSearchTest, SubfoldersAreSearchedInListingOrderSkippingDotFoldersAndFiles) {
  windows.AddFolder(L"C:\\Setup\\.cache");
  windows.AddFile(L"C:\\Setup\\.cache\\quorlcom-x64.msi");
  windows.AddFile(L"C:\\Setup\\notes");
  windows.AddFolder(L"C:\\Setup\\zeta");
  windows.AddFile(L"C:\\Setup\\zeta\\readme.txt");
  windows.AddFile(L"C:\\Setup\\beta\\quorlcom-x64.msi");
  windows.AddFile(L"C:\\Setup\\alpha\\quorlcom-x64.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"C:\\Setup\\beta\\quorlcom-x64.msi");
  EXPECT_EQ(sim::EventsWith(windows, L"find:"),
            (std::vector<std::wstring>{L"find:C:\\Setup\\quorlcom*x64*", L"find:C:\\Setup\\*",
                                       L"find:C:\\Setup\\zeta\\quorlcom*x64*",
                                       L"find:C:\\Setup\\beta\\quorlcom*x64*"}));
}

TEST_F(PackageSearchTest, DotFoldersAloneFindNothing) {
  windows.AddFile(L"C:\\Setup\\.git\\quorlcom-x64.msi");
  windows.AddFile(L"C:\\Setup\\..x\\quorlcom-x64.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"232");
}

TEST_F(PackageSearchTest, AFolderWhoseNameMatchesIsTheResult) {
  windows.AddFolder(L"C:\\Setup\\quorlcom-x64.msi");
  windows.AddFile(L"C:\\Setup\\sub\\quorlcom-x64.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"C:\\Setup\\quorlcom-x64.msi");
}

TEST_F(PackageSearchTest, TwoLevelsDownIsNeverFound) {
  windows.AddFile(L"C:\\Setup\\a\\b\\quorlcom-x64.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"232");
}

TEST_F(PackageSearchTest, TwoMatchesInOneFolderGiveTheFirstListed) {
  windows.AddFile(L"C:\\Setup\\quorlcom-x64-new.msi");
  windows.AddFile(L"C:\\Setup\\quorlcom-x64-a.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"), L"C:\\Setup\\quorlcom-x64-new.msi");
}

TEST_F(PackageSearchTest, NothingAtAllGives232) { EXPECT_EQ(Find(L"*.msi"), L"232"); }

TEST_F(PackageSearchTest, AnUnlistableFolderGives232) {
  windows.moduleFileName = L"D:\\gone\\bootstrapper.exe";
  EXPECT_EQ(Find(L"*.msi"), L"232");
}

TEST_F(PackageSearchTest, PathsWithBlanksAndCyrillicLetters) {
  windows.moduleFileName = L"C:\\Program Files\\Установка ЭЦП\\setup.exe";
  windows.AddFile(L"C:\\Program Files\\Установка ЭЦП\\Пакеты 1\\quorlcom-x64.msi");
  EXPECT_EQ(Find(L"quorlcom*x64*"),
            L"C:\\Program Files\\Установка ЭЦП\\Пакеты 1\\quorlcom-x64.msi");
}

// A relative pattern would search the current folder (System32 for a start-up script).
TEST_F(PackageSearchTest, AModulePathWithoutBackslashIsNoFolderToSearch) {
  windows.moduleFileName = L"bootstrapper.exe";
  windows.AddFile(L"quorlcom-x64.msi");
  std::wstring path = L"untouched";
  EXPECT_EQ(FindPackageFile(context, L"quorlcom*x64*", &path), kErrorPathNotFound);
  EXPECT_EQ(path, L"untouched");
  EXPECT_TRUE(sim::EventsWith(windows, L"find:").empty());
}

struct ArchitectureCase {
  const char* name;
  bool present;
  bool fails;
  bool wow64;
  const wchar_t* fragment;
  Word nativeMachine = kImageFileMachineAmd64;
  const char* missing = "";  // a function that kernel32 lacks
  Dword x64Attributes = kMachineAttributeUserEnabled;
};

TEST_F(PackageSearchTest, ArchitectureFragment) {
  const Word amd64 = kImageFileMachineAmd64;
  const Word arm64 = kImageFileMachineArm64;
  const ArchitectureCase cases[] = {
      {"64-bit Windows", true, false, true, L"*x64*"},
      {"32-bit Windows", true, false, false, L"*win32*"},
      {"call fails", true, true, true, L"*win32*"},
      {"function absent", false, false, true, L"*win32*"},
      {"64-bit Windows 8, no IsWow64Process2", true, false, true, L"*x64*", amd64,
       "IsWow64Process2"},
      {"Windows 11 on ARM64 runs x64 code", true, false, true, L"*x64*", arm64},
      {"Windows 11 on ARM64 without x64 code", true, false, true, L"*win32*", arm64, "", 0},
      {"Windows 10 on ARM64", true, false, true, L"*win32*", arm64, "GetMachineTypeAttributes"},
  };
  for (const auto& c : cases) {
    sim::SimulatedWindows machine;
    machine.isWow64ProcessPresent = c.present;
    machine.isWow64ProcessFails = c.fails;
    machine.wow64 = c.wow64;
    machine.nativeMachine = c.nativeMachine;
    machine.missingProcedures = {c.missing};
    machine.x64MachineAttributes = c.x64Attributes;
    RunContext run(machine);
    EXPECT_EQ(ArchitectureFilter(run), c.fragment) << c.name;
    EXPECT_EQ(machine.moduleLookups, kKernel32Thrice) << c.name;
  }
}

TEST_F(PackageSearchTest, IsWow64ProcessIsLookedUpOnceAndCalledEachTime) {
  EXPECT_EQ(ArchitectureFilter(context), L"*x64*");
  EXPECT_EQ(ArchitectureFilter(context), L"*x64*");
  EXPECT_EQ(windows.moduleLookups, kKernel32Thrice);
  EXPECT_EQ(sim::EventsWith(windows, L"is-wow64-process").size(), 2u);
  EXPECT_EQ(context.wow64.state, Wow64Lookup::State::kPresent);
}

TEST_F(PackageSearchTest, AnAbsentIsWow64ProcessIsRememberedAsAbsent) {
  windows.isWow64ProcessPresent = false;
  EXPECT_EQ(ArchitectureFilter(context), L"*win32*");
  windows.isWow64ProcessPresent = true;
  EXPECT_EQ(ArchitectureFilter(context), L"*win32*");
  EXPECT_EQ(windows.moduleLookups, kKernel32Thrice);
  EXPECT_TRUE(sim::EventsWith(windows, L"is-wow64-process").empty());
  EXPECT_EQ(context.wow64.state, Wow64Lookup::State::kAbsent);
}

TEST_F(PackageSearchTest, WithoutKernel32sHandleTheLookupIsRetried) {
  windows.kernel32Loaded = false;
  EXPECT_EQ(ArchitectureFilter(context), L"*win32*");
  EXPECT_EQ(context.wow64.state, Wow64Lookup::State::kNotLookedUp);
  windows.kernel32Loaded = true;
  EXPECT_EQ(ArchitectureFilter(context), L"*x64*");
  // Without the handle, both IsWow64Process2's and IsWow64Process's turn ask for it again.
  EXPECT_EQ(windows.moduleLookups, std::vector<std::wstring>(5, L"kernel32"));
}

TEST_F(PackageSearchTest, LanguageFragmentComparesTheWholeLanguageIdentifier) {
  const std::pair<Word, const wchar_t*> cases[] = {
      {0x0419, L"*rus*"}, {0x0409, L"*eng*"}, {0x0819, L"*eng*"},
      {0x0019, L"*eng*"}, {0x0000, L"*eng*"}, {0x0422, L"*eng*"},
  };
  for (const auto& [language, fragment] : cases) {
    windows.uiLanguage = language;
    EXPECT_EQ(LanguageFilter(context), fragment) << std::hex << language;
  }
}

}  // namespace
}  // namespace boot
