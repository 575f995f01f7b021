#include <gtest/gtest.h>

#include <functional>

#include "run/box_styles.h"
#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

using sim::SimulatedWindows;

// SHA-256 test vectors (FIPS 180-2): "abc", the empty text, a million times "a".
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kMillion = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
const wchar_t kPackage[] = L"C:\\Setup\\Пакеты\\quorlcom-x64.msi";
const wchar_t kSetup[] = L"C:\\Setup\\csp\\Setup.exe";
const wchar_t kCspPackage[] = L"C:\\Setup\\csp\\Данные\\csp.msi";
const wchar_t kCopies[] = L"C:\\ProgramData\\StalverBootstrapper.";
const wchar_t kRecord[] = L"hklm\\software\\stalverbrowserpluginbootstrapper";
const wchar_t kEarlierCopy[] = L"C:\\ProgramData\\StalverBootstrapper.0badc0de";

// A release: Пакеты\quorlcom-x64.msi (a million "a"), csp\Setup.exe ("abc") and
// csp\Данные\csp.msi ("").
void LayOutRelease(SimulatedWindows& w) {
  sim::AddPluginPackageFile(w, kPackage);
  w.fileContents[kPackage] = std::string(1000000, 'a');
  w.AddFile(kSetup);
  w.fileContents[kSetup] = "abc";
  w.AddFile(kCspPackage);
  w.releaseManifest = kAbc + "  csp\\Setup.exe\n" + kEmpty + u8"  CSP\\ДАННЫЕ\\csp.msi\n" +
                      kMillion + u8"  Пакеты\\quorlcom-x64.msi\n";
}

// With -csp, Setup.exe ran from a copy of the csp folder in a folder of the release's own that
// the program made, with access for SYSTEM and the administrators alone (users read and run),
// recorded as the CSP's source; a run whose Setup.exe never started leaves no copy.
void ExpectSetupRanFromItsCopy(SimulatedWindows& w, const char* name) {
  auto made = sim::EventsWith(w, std::wstring(L"create-folder:") + kCopies);
  made.erase(std::remove_if(made.begin(), made.end(),
                            [](const auto& event) { return event.find(L',') == std::wstring::npos; }),
             made.end());
  const bool setup = !w.children.empty() && w.children[0].commandLine.rfind(L"csp\\", 0) == 0;
  if (made.empty()) {
    EXPECT_FALSE(setup) << name;
    return;
  }
  ASSERT_EQ(made.size(), 1u) << name;
  const std::wstring folder = made[0].substr(14, made[0].find(L',') - 14);
  EXPECT_EQ(made[0].substr(made[0].find(L',') + 1),
            L"D:PAI(A;;FA;;;SY)(A;OICIIO;GA;;;SY)(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
            L"(A;OICIIO;GRGX;;;BU)")
      << name;
  EXPECT_EQ(w.PathExists(folder), setup) << name;
  if (!setup) return;
  EXPECT_EQ(w.children[0].applicationName, folder + L"\\csp\\Setup.exe") << name;
  EXPECT_EQ(w.children[0].currentDirectory, folder) << name;
  EXPECT_EQ(w.fileContents.at(folder + L"\\csp\\Setup.exe"), "abc") << name;
  EXPECT_EQ(w.registryValues[kRecord][L"cspsource"], folder) << name;
  EXPECT_FALSE(w.PathExists(kEarlierCopy)) << name;
}

struct ReleaseCase {
  const char* name;
  const wchar_t* arguments;
  std::function<void(SimulatedWindows&)> change;  // of the release
  std::string line;                               // in the run's log
  std::wstring box;  // message 154 or 155, exit code 1620; empty: the run goes on
};

std::wstring Mismatch(const std::wstring& path) {
  return L"Файл " + path +
         L" не совпадает с файлом выпуска: возможно, он повреждён или подменён. Установка "
         L"отменена.";
}

// Each file the run would use must be listed with its SHA-256, else nothing is run.
TEST(ReleaseFilesTest, ARunUsesOnlyTheReleasesFiles) {
  const std::string mismatch = u8" does NOT match: expected SHA-256 ";
  auto xp = [](SimulatedWindows& w, Word servicePack) {
    w.majorVersion = 5, w.minorVersion = 1, w.servicePackMajor = servicePack;
    w.sha256Available = servicePack >= 3;
  };
  const ReleaseCase cases[] = {
      {"intact, CNG", L"-silent", [](auto&) {},
       u8"release file Пакеты\\quorlcom-x64.msi: SHA-256 " + kMillion +
           ", as in the release's manifest",
       L""},
      {"intact, CryptoAPI on XP SP3", L"-silent -csp", [&](auto& w) { xp(w, 3); },
       u8"release file CSP\\ДАННЫЕ\\csp.msi: SHA-256 " + kEmpty, L""},
      {"a build without a manifest", L"-silent", [](auto& w) { w.releaseManifest.clear(); },
       "release manifest: none, the files beside the program are used unchecked", L""},
      {"a package laid beside the program after the check, by the script",
       L"-silent -vbscript C:\\s.vbs",
       [](auto& w) {
         w.childBehaviours[L"C:\\Windows\\System32\\wscript.exe"].effect = [&w] {
           sim::AddPluginPackageFile(w, L"C:\\Setup\\quorlcom-x64-new.msi");
         };
       },
       "release manifest: 3 files", L""},
      {"the package swapped", L"", [](auto& w) { w.fileContents[kPackage] = "abc"; },
       u8"release file Пакеты\\quorlcom-x64.msi" + mismatch + kMillion + ", found " + kAbc,
       Mismatch(kPackage)},
      // Nothing is damaged: no file can be checked, so none is opened.
      {"XP SP2, whose AES provider has no SHA-256", L"-csp", [&](auto& w) { xp(w, 2); },
       "decision: end the run, no file checked (this Windows has no SHA-256 (Windows 2000, XP "
       "before SP3, Server 2003 before SP2) (error 0x80090008))",
       L"Проверить файлы выпуска невозможно: в этой версии Windows нет алгоритма SHA-256 (он "
       L"есть начиная с Windows XP SP3 и Windows Server 2003 SP2). Установка отменена."},
      {"a file added to the csp folder", L"-csp",
       [](auto& w) { w.AddFile(L"C:\\Setup\\csp\\version.dll"); },
       "release file csp\\version.dll: NOT in the release's manifest",
       Mismatch(L"C:\\Setup\\csp\\version.dll")},
      {"a listed file of the csp folder removed", L"-csp",
       [](auto& w) { w.DeleteFile(kCspPackage); },
       mismatch + kEmpty + ", found nothing: the file cannot be opened (error 2)",
       Mismatch(L"C:\\Setup\\CSP\\ДАННЫЕ\\csp.msi")},
      {"an earlier release's copy goes once the CSP step has succeeded", L"-silent -csp",
       [](auto& w) {
         w.AddFile(std::wstring(kEarlierCopy) + L"\\csp\\Setup.exe");
         w.AddKey(kRecord);
         w.registryValues[kRecord][L"cspsource"] = kEarlierCopy;
       },
       u8"CSP's copy C:\\ProgramData\\StalverBootstrapper.0badc0de: removed", L""},
      {"a release without the csp folder, run with -csp", L"-csp",
       [](auto& w) { w.releaseManifest = kMillion + u8"  Пакеты\\quorlcom-x64.msi\n"; },
       "release file csp\\Setup.exe: NOT in the release's manifest", Mismatch(kSetup)},
      {"a damaged manifest", L"", [](auto& w) { w.releaseManifest = kAbc + " a\n"; },
       "release manifest: DAMAGED, it lists no file: every file is refused", Mismatch(kPackage)},
  };
  for (const auto& c : cases) {
    SimulatedWindows windows;
    LayOutRelease(windows);
    c.change(windows);
    windows.boxAnswers = {kIdYes, kIdOk};
    const Dword exitCode = sim::RunBootstrapper(windows, c.arguments);
    const bool refused = !c.box.empty();
    EXPECT_EQ(exitCode, refused ? kErrorInstallPackageInvalid : 0u) << c.name;
    EXPECT_NE(
        windows.fileContents.at(L"C:\\Temp\\bootstrapper_2027-03-01-09-05-03.log").find(c.line),
        std::string::npos)
        << c.name << ": " << c.line;
    EXPECT_EQ(windows.children.empty(), refused) << c.name;
    const std::wstring installed = L"/i \"" + std::wstring(kPackage) + L"\"";
    EXPECT_TRUE(refused ||
                windows.children.back().commandLine.find(installed) != std::wstring::npos)
        << c.name;
    // Each checked file is opened for reading, shared for reading only; a package is held to
    // the end, a file of the csp folder closed once copied.
    const auto opened = sim::EventsWith(windows, L"create-file:C:\\Setup\\");
    const auto packages = std::count_if(opened.begin(), opened.end(), [](const auto& open) {
      return sim::FoldCase(open).find(L"\\csp\\") == std::wstring::npos;
    });
    EXPECT_TRUE(refused || packages == windows.openFiles()) << c.name;
    EXPECT_TRUE(windows.sha256Available || opened.empty()) << c.name;
    for (const auto& open : opened) EXPECT_EQ(open.substr(open.find(L',')), L",2147483648,1,3,0");
    ExpectSetupRanFromItsCopy(windows, c.name);
    EXPECT_EQ(windows.openKernelHandles(), 0) << c.name;  // hashes and providers closed
    // One provider for the run: CryptoAPI's AES provider, by type, before Vista; else CNG.
    const bool checked = !windows.releaseManifest.empty(), xpRun = windows.majorVersion < 6;
    EXPECT_EQ(sim::EventsWith(windows, L"crypt-acquire:24,4026531840").size(), checked && xpRun);
    EXPECT_EQ(sim::EventsWith(windows, L"bcrypt-open:SHA256,0").size(), checked && !xpRun);
    if (!refused) continue;
    ASSERT_EQ(windows.boxes.size(), 2u) << c.name;
    EXPECT_EQ(windows.boxes[1].text, c.box);
    EXPECT_EQ(windows.boxes[1].caption, L"Ошибка");
    EXPECT_EQ(windows.boxes[1].style, kErrorBox);
    EXPECT_EQ(windows.boxes[1].owner, windows.ownerWindowHandle);
  }
}

// A later run of the release takes the copy's folder recorded for it; a folder of that name
// that someone else made first is passed over, and nothing in it is used.
TEST(ReleaseFilesTest, TheCopysFolderIsOnlyEverTheProgramsOwn) {
  SimulatedWindows machine;
  LayOutRelease(machine);
  ASSERT_EQ(sim::RunBootstrapper(machine, L"-silent -csp"), 0u);
  const std::wstring folder = machine.children[0].currentDirectory;
  const auto read = sim::EventsWith(machine, L"create-file:C:\\Setup\\csp\\").size();
  ASSERT_EQ(sim::RunBootstrapper(machine, L"-silent -csp"), 0u);
  EXPECT_EQ(machine.children[2].currentDirectory, folder);
  // The files it holds were checked as they were copied: the originals are not read again.
  EXPECT_EQ(sim::EventsWith(machine, L"create-file:C:\\Setup\\csp\\").size(), read);
  EXPECT_EQ(sim::EventsWith(machine, L"create-folder:" + folder + L",").size(), 1u);

  SimulatedWindows squatted;
  LayOutRelease(squatted);
  squatted.AddFile(folder + L"\\csp\\csphook.dll");
  ASSERT_EQ(sim::RunBootstrapper(squatted, L"-silent -csp"), 0u);
  const std::wstring own = squatted.children[0].currentDirectory;
  EXPECT_NE(own, folder);
  EXPECT_EQ(own.rfind(kCopies, 0), 0u);
  EXPECT_FALSE(squatted.PathExists(own + L"\\csp\\csphook.dll"));
  EXPECT_TRUE(squatted.PathExists(folder + L"\\csp\\csphook.dll"));
}

}  // namespace
}  // namespace boot
