#include <gtest/gtest.h>

#include <functional>

#include "resources/release_manifest.h"
#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

using sim::SimulatedWindows;

// Test vectors of SHA-256 (FIPS 180-2): "abc", the empty text, a million times "a".
const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
const wchar_t kSetup[] = L"C:\\Setup\\csp\\Setup.exe";

// A release: the package (a million "a"), csp\Setup.exe ("abc") and csp\data\csp.msi ("").
void LayOutRelease(SimulatedWindows& w) {
  sim::AddPluginPackage(w);
  w.fileContents[sim::kPackagePath] = std::string(1000000, 'a');
  w.AddFile(kSetup);
  w.fileContents[kSetup] = "abc";
  w.AddFile(L"C:\\Setup\\csp\\data\\csp.msi");
  w.releaseManifest = std::string(kAbc) + "  csp\\Setup.exe\n" + kEmpty + "  CSP\\Data\\csp.msi\n" +
                      kMillionA + "  quorlcom-x64.msi\n";
}

struct ReleaseCase {
  const char* name;
  std::function<void(SimulatedWindows&)> arrange;
  const wchar_t* arguments;
  Dword exitCode;
  std::vector<std::string> lines;  // in the run's log
  const wchar_t* refused;          // named by message 154; nullptr: no box
};

// Every file the run would use is listed with its SHA-256, or nothing is installed or run.
TEST(ReleaseFilesTest, ARunUsesOnlyTheReleasesFiles) {
  const std::string notListed = u8": NOT in the release's manifest";
  const std::string mismatch = u8" does NOT match: expected SHA-256 ";
  const ReleaseCase cases[] = {
      {"a build without a manifest",
       [](SimulatedWindows& w) { sim::AddPluginPackage(w); },
       L"-silent",
       0,
       {u8"release manifest: none, the files beside the program are used unchecked"},
       nullptr},
      {"intact, CNG",
       LayOutRelease,
       L"-silent",
       0,
       {u8"release manifest: 3 files", u8"release file quorlcom-x64.msi: SHA-256 " +
                                           std::string(kMillionA) +
                                           ", as in the release's manifest"},
       nullptr},
      {"intact, CryptoAPI on XP SP3",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.majorVersion = 5, w.minorVersion = 1, w.servicePackMajor = 3;
       },
       L"-silent -csp",
       0,
       {u8"release file csp\\Setup.exe: SHA-256 " + std::string(kAbc),
        u8"release file CSP\\Data\\csp.msi: SHA-256 " + std::string(kEmpty)},
       nullptr},
      {"the package swapped",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.fileContents[sim::kPackagePath] = "abc";
       },
       L"",
       kErrorInstallPackageInvalid,
       {u8"release file quorlcom-x64.msi" + mismatch + kMillionA + ", found " + kAbc,
        u8"decision: end the run (a file of the run is not the release's)"},
       sim::kPackagePath},
      {"XP SP2, whose AES provider has no SHA-256",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.majorVersion = 5, w.minorVersion = 1, w.servicePackMajor = 2;
         w.sha256Available = false;
       },
       L"-silent",
       kErrorInstallPackageInvalid,
       {u8"release file quorlcom-x64.msi" + mismatch + kMillionA +
            u8", found nothing: this Windows has no SHA-256 (Windows 2000, XP before SP3, Server "
            u8"2003 "
            u8"before SP2) (error 0x80090008)",
        u8"box 154 suppressed by -silent"},
       nullptr},
      {"a file added to the csp folder",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.AddFile(L"C:\\Setup\\csp\\version.dll");
       },
       L"-csp",
       kErrorInstallPackageInvalid,
       {u8"release file csp\\version.dll" + notListed},
       L"C:\\Setup\\csp\\version.dll"},
      {"a listed file of the csp folder removed",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.DeleteFile(L"C:\\Setup\\csp\\data\\csp.msi");
       },
       L"-csp",
       kErrorInstallPackageInvalid,
       {u8"release file CSP\\Data\\csp.msi" + mismatch + kEmpty +
        u8", found nothing: the file cannot be opened (error 2)"},
       L"C:\\Setup\\CSP\\Data\\csp.msi"},
      {"a release without a csp folder, run with -csp",
       [](SimulatedWindows& w) {
         sim::AddPluginPackage(w);
         w.fileContents[sim::kPackagePath] = "abc";
         w.releaseManifest = std::string(kAbc) + "  quorlcom-x64.msi\n";
       },
       L"-csp",
       kErrorInstallPackageInvalid,
       {u8"release file csp\\Setup.exe" + notListed},
       kSetup},
      {"a damaged manifest",
       [](SimulatedWindows& w) {
         LayOutRelease(w);
         w.releaseManifest = std::string(kAbc) + " quorlcom-x64.msi\n";
       },
       L"",
       kErrorInstallPackageInvalid,
       {u8"release manifest: DAMAGED, it lists no file: every file is refused",
        u8"release file quorlcom-x64.msi" + notListed},
       sim::kPackagePath},
  };
  for (const auto& c : cases) {
    SimulatedWindows windows;
    c.arrange(windows);
    windows.boxAnswers = {kIdYes, kIdOk};
    EXPECT_EQ(sim::RunBootstrapper(windows, c.arguments), c.exitCode) << c.name;
    const std::string& log =
        windows.fileContents.at(L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03.log");
    for (const auto& line : c.lines) EXPECT_NE(log.find(line), std::string::npos) << c.name << line;
    EXPECT_EQ(windows.children.empty(), c.exitCode != 0) << c.name;
    EXPECT_EQ(windows.openKernelHandles(), 0) << c.name;  // hashes and providers closed
    // One provider for the run: CryptoAPI's AES provider before Vista, else CNG.
    const auto cryptoApi = sim::EventsWith(windows, L"crypt-acquire:24,4026531840").size();
    const auto cng = sim::EventsWith(windows, L"bcrypt-open:SHA256,0").size();
    EXPECT_EQ(cryptoApi + cng, windows.releaseManifest.empty() ? 0u : 1u) << c.name;
    EXPECT_EQ(cryptoApi, windows.majorVersion < 6 ? 1u : 0u) << c.name;
    if (c.refused == nullptr) continue;
    ASSERT_EQ(windows.boxes.size(), 2u) << c.name;
    EXPECT_EQ(windows.boxes[1].text, std::wstring(L"Файл ") + c.refused +
                                         L" не совпадает с файлом выпуска: возможно, он повреждён "
                                         L"или подменён. Установка отменена.")
        << c.name;
    EXPECT_EQ(windows.boxes[1].caption, L"Ошибка") << c.name;
    EXPECT_EQ(windows.boxes[1].style, kErrorBox) << c.name;
    EXPECT_EQ(windows.boxes[1].owner, windows.ownerWindowHandle) << c.name;
  }
}

// The files stay open for reading alone until the run ends, through CNG from Vista on; a
// package laid beside the program after the check is never taken.
TEST(ReleaseFilesTest, CheckedFilesAreHeldAndSearchesKeepTheirAnswers) {
  SimulatedWindows windows;
  windows.moduleFileName = L"C:\\Setup\\bootstrapper.exe";
  LayOutRelease(windows);
  windows.DeleteFile(sim::kPackagePath);
  sim::AddPluginPackageFile(windows, L"C:\\Setup\\pkg\\quorlcom-x64.msi");
  windows.fileContents[L"C:\\Setup\\pkg\\quorlcom-x64.msi"] = "";
  windows.releaseManifest = std::string(kEmpty) + "  pkg\\quorlcom-x64.msi\n";
  windows.childBehaviours[L"C:\\Windows\\System32\\wscript.exe"].effect = [&windows] {
    sim::AddPluginPackageFile(windows, L"C:\\Setup\\quorlcom-x64-new.msi");
  };
  EXPECT_EQ(sim::RunBootstrapper(windows, L"-silent -vbscript C:\\s.vbs"), 0u);
  EXPECT_EQ(
      sim::EventsWith(windows, L"create-file:C:\\Setup\\"),
      std::vector<std::wstring>{L"create-file:C:\\Setup\\pkg\\quorlcom-x64.msi,2147483648,1,3,0"});
  EXPECT_EQ(windows.openFiles(), 1);
  EXPECT_EQ(sim::EventsWith(windows, L"bcrypt-open:"),
            std::vector<std::wstring>{L"bcrypt-open:SHA256,0"});
  ASSERT_EQ(windows.children.size(), 2u);
  EXPECT_NE(windows.children[1].commandLine.find(L"/i \"C:\\Setup\\pkg\\quorlcom-x64.msi\""),
            std::wstring::npos);
}

// The manifest is sha256sum's text, paths with backslashes; names compare as Windows does.
TEST(ReleaseFilesTest, ManifestTextAndNames) {
  const std::pair<std::string, bool> texts[] = {
      {std::string(kAbc) + u8"  csp\\Установка.msi\n" + kEmpty + "  a\n", true},
      {std::string(kAbc) + "  a", false},               // no line end
      {std::string(kAbc) + " a\n", false},              // one blank
      {std::string(kAbc).substr(1) + "A  a\n", false},  // upper-case digit
      {std::string(kAbc) + "  \n", false},              // no name
      {std::string(kAbc) + "  \xC0\xAF\n", false},      // an overlong "/"
      {std::string(kAbc) + "  \xED\xA0\x80\n", false},  // a surrogate
      {"", false},
  };
  for (const auto& [text, valid] : texts) {
    std::vector<ManifestEntry> entries;
    EXPECT_EQ(ReadReleaseManifest({text.begin(), text.end()}, &entries), valid) << text;
    EXPECT_EQ(entries.size(), valid ? 2u : 0u) << text;
  }
  std::vector<ManifestEntry> entries;
  const std::string text = std::string(kAbc) + u8"  csp\\Установка.msi\n";
  ReadReleaseManifest({text.begin(), text.end()}, &entries);
  EXPECT_NE(FindManifestEntry(entries, L"CSP\\УСТАНОВКА.MSI"), nullptr);
  EXPECT_EQ(FindManifestEntry(entries, L"csp\\Установка.ms"), nullptr);
  EXPECT_EQ(entries.at(0).digest, std::wstring(kAbc, kAbc + 64));
}

}  // namespace
}  // namespace boot
