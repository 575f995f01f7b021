// Every Windows call may fail. Whole runs as deployment tools start them, each run again with
// one seam call failing, every call in turn: the run ends, never reports success for what it
// did not do, names the failure, shows no box, keeps a pending restart and leaks no handle.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "support/plugin_machine.h"
#include "support/run_bootstrapper.h"
#include "support/simulated_windows.h"

namespace boot {
namespace {

using sim::SimulatedWindows;

const wchar_t kMarker[] = L"Software\\NeedBstrReboot";
const wchar_t kRunLogName[] = L"bootstrapper_2027-03-01-09-05-03.log";
const wchar_t kCspSetup[] = L"C:\\Setup\\csp\\Setup.exe";
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
// The exit codes that the guide's table names, beside 0, 3010 and 1641.
const std::set<Dword> kNamedFailures = {1,    3,    4,    5,    7,    14,   203,  206, 232,
                                        1602, 1603, 1618, 1620, 1622, 1638, 1639, 1707};

// msiexec installs the package's product (release 2.0.0.0), and an upgrade removes the one
// it replaces, as Windows Installer does.
void InstallingMsiexec(SimulatedWindows& w) {
  sim::AddPluginPackage(w);
  w.childBehaviours[sim::kMsiexec].effect = [&w] {
    w.products.clear();
    sim::AddInstalledPlugin(w, sim::kNewProductCode, L"2.0.0.0");
  };
}

void ReleaseLaidOut(SimulatedWindows& w) {
  InstallingMsiexec(w);
  w.fileContents[sim::kPackagePath] = "abc";
  w.AddFile(kCspSetup);
  w.fileContents[kCspSetup] = "";
  w.releaseManifest = kAbc + "  quorlcom-x64.msi\n" + kEmpty + "  csp\\Setup.exe\n";
}

bool PluginInstalled(const SimulatedWindows& w) {
  return w.products.size() == 1 && w.products[0].productCode == sim::kNewProductCode &&
         w.products[0].versionString == L"2.0.0.0";
}

bool PluginRemoved(const SimulatedWindows& w) { return w.products.empty(); }

struct SweptRun {
  const char* name;
  std::function<void(SimulatedWindows&)> arrange;
  const wchar_t* arguments;
  bool (*done)(const SimulatedWindows&) = PluginInstalled;  // what a success code claims
};

const SweptRun kRuns[] = {
    {"silent fresh install", InstallingMsiexec, L"-silent"},
    {"silent upgrade",
     [](SimulatedWindows& w) {
       InstallingMsiexec(w);
       sim::AddInstalledPlugin(w, sim::kOtherProductCode, L"1.0.0.0");
     },
     L"-silent"},
    {"silent install with the CSP",
     [](SimulatedWindows& w) {
       InstallingMsiexec(w);
       w.AddFile(kCspSetup);
     },
     L"-silent -csp"},
    {"release with its manifest and the CSP", ReleaseLaidOut, L"-silent -csp"},
    {"unseen, a restart pending",
     [](SimulatedWindows& w) {
       InstallingMsiexec(w);
       w.stationFlags = 0;
       w.AddKey(kMarker);
     },
     L""},
    {"silent removal",
     [](SimulatedWindows& w) {
       sim::AddPluginPackage(w);
       sim::AddInstalledPlugin(w, sim::kNewProductCode, L"2.0.0.0");
       w.childBehaviours[sim::kMsiexec].effect = [&w] { w.products.clear(); };
     },
     L"-uninstall -silent -log C:\\Logs", PluginRemoved},
};

struct Outcome {
  Dword exitCode = 0;
  std::string log;
  std::vector<std::string> problems;
};

Outcome RunFaulted(const SweptRun& run, int faultAt, SimulatedWindows& w) {
  run.arrange(w);
  w.faultAt = faultAt;
  const Dword started = w.tickCount;
  Outcome outcome;
  outcome.exitCode = sim::RunBootstrapper(w, run.arguments);
  // The run's log is in its -log folder, or in TMP where that folder fails.
  for (const wchar_t* folder : {L"C:\\Logs\\", L"C:\\Temp\\"}) {
    auto found = w.fileContents.find(folder + std::wstring(kRunLogName));
    if (found != w.fileContents.end()) outcome.log += found->second;
  }
  auto problem = [&](bool broken, const std::string& what) {
    if (broken) outcome.problems.push_back(what);
  };
  problem(w.tickCount - started > 300000, "waited longer than the budget");
  problem(!w.boxes.empty(), "showed a box");
  const bool markerBefore = std::string(run.name).find("restart") != std::string::npos;
  const bool restarted = !w.exitWindowsCalls.empty() && w.exitWindowsError == 0;
  problem(markerBefore && !w.KeyExists(kMarker) && !restarted, "lost the pending restart");
  problem(!markerBefore && !w.exitWindowsCalls.empty(), "restarted Windows with none pending");
  problem(w.openKernelHandles() != 0 || w.openRegistryKeys() != 0 || w.openMsiHandles() != 0,
          "left a handle open");
  for (const auto& child : w.children) {
    problem(!child.applicationThere, "started a program that is not there");
  }
  for (const auto& path : w.openFilePaths()) {
    problem(path.rfind(L"C:\\Setup\\", 0) != 0, "left a file open that it does not hold");
  }
  return outcome;
}

// Faults the sweep found, mended: some failure of `call` in run `run` ends with `exitCode` and
// its log holds `logged`.
struct KnownCase {
  std::size_t run;
  const wchar_t* call;
  Dword exitCode;
  const char* logged;
};

const KnownCase kKnownCases[] = {
    // It went on with the defaults, asking where -silent had been given.
    {0, L"CommandLineToArgv", 8,
     "decision: end the run (the command line cannot be split (error 8))"},
    // It took the station for visible and asked where nobody can see.
    {4, L"GetProcessWindowStationFlags", 0, "unknown visibility (error 5), counted as not visible"},
    // A search that failed was taken for no package at all, its error lost.
    {0, L"FindFirstFile", 5, "nothing found (5)"},
    // Without its own folder it searched the current one, System32 for a start-up script.
    {1, L"GetModuleFileName", 8, "program's folder: unknown (error 8)"},
    // The log kept 1 for Windows Installer's own code.
    {1, L"MsiGetProductInfo", 1, "version not read (1610)"},
    {0, L"GetProcAddress", 232, "IsWow64Process: not found (error 127)"},
    {3, L"GetFolderPath", 5, "StalverBootstrapper."},
};

// The fault's error, as the run's log writes errors: in decimal ("error 5", "(5)", or as the
// exit code itself), an NTSTATUS in hexadecimal.
bool LogNamesTheError(const std::string& log, Dword error) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08x", error);
  const std::string number = std::to_string(error);
  for (const std::string& form : {"error " + number, "(" + number + ")",
                                  "exit code " + number + ":", "error " + std::string(hex)}) {
    if (log.find(form) != std::string::npos) return true;
  }
  return false;
}

TEST(FaultSweepTest, NoFailureOfWindowsIsEverReportedAsSuccess) {
  int faulted = 0;
  int runs = 0;
  std::vector<std::string> failures;
  std::set<const KnownCase*> seen;
  for (const auto& run : kRuns) {
    SimulatedWindows clean;
    const Outcome baseline = RunFaulted(run, 0, clean);
    ASSERT_EQ(baseline.exitCode, 0u) << run.name;
    ASSERT_TRUE(baseline.problems.empty()) << run.name << ": " << baseline.problems[0];
    for (int at = 1; at <= clean.failableCalls; ++at, ++faulted, ++runs) {
      SimulatedWindows w;
      Outcome outcome = RunFaulted(run, at, w);
      const Dword code = outcome.exitCode;
      const bool success = code == 0 || code == 3010 || code == 1641;
      const bool logFault = w.faultedCall.find(L"C:\\Temp\\bootstrapper_") != std::wstring::npos;
      auto problem = [&](bool broken, const std::string& what) {
        if (broken) outcome.problems.push_back(what);
      };
      problem(success && !run.done(w), "reported success for what it did not do");
      problem(!success && code != w.faultedError && kNamedFailures.count(code) == 0,
              "ended with a code the guide does not name: " + std::to_string(code));
      problem(logFault && code != baseline.exitCode, "a failure of its log changed the result");
      problem(!logFault && code != baseline.exitCode && w.faultedError != 0 &&
                  !LogNamesTheError(outcome.log, w.faultedError),
              "its log does not name the error " + std::to_string(w.faultedError));
      for (const auto& known : kKnownCases) {
        if (&run == &kRuns[known.run] && w.faultedCall == known.call && code == known.exitCode &&
            outcome.log.find(known.logged) != std::string::npos) {
          seen.insert(&known);
        }
      }
      for (const auto& what : outcome.problems) {
        failures.push_back(std::string(run.name) + ", " +
                           std::string(w.faultedCall.begin(), w.faultedCall.end()) +
                           " failing (call " + std::to_string(at) + "), exit " +
                           std::to_string(code) + ": " + what);
      }
    }
  }
  std::printf("fault sweep: %d calls faulted, %d runs, %zu failures found\n", faulted,
              runs + static_cast<int>(std::size(kRuns)), failures.size());
  for (const auto& known : kKnownCases) {
    EXPECT_TRUE(seen.count(&known)) << "a known case did not come up: " << known.logged;
  }
  for (const auto& failure : failures) ADD_FAILURE() << failure;
}

}  // namespace
}  // namespace boot
