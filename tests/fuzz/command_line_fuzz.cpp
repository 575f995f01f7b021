// The command line as the user or a deployment tool writes it, split by the Windows rules
// and read into the run options; the help path ends the simulated process.
#include <cstdlib>

#include "driver/install_options.h"
#include "fuzz/fuzz_input.h"
#include "support/simulated_windows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  boot::sim::SimulatedWindows windows;
  windows.commandLine = boot::fuzz::WideText(data, size);
  boot::RunContext context(windows);
  boot::InstallOptions options;
  try {
    boot::ParseCommandLine(context, &options);
  } catch (const boot::sim::SimulatedExit& exit) {
    // Only the help ends a parse, always with 0 and exactly one box.
    if (exit.exitCode != 0 || windows.boxes.size() != 1) std::abort();
    return 0;
  }
  if (!windows.boxes.empty()) std::abort();
  // Every -QuorlArgs value arrives with a blank before and after it.
  if (!options.quorlArgs.empty() &&
      (options.quorlArgs.front() != L' ' || options.quorlArgs.back() != L' ')) {
    std::abort();
  }
  if (!options.cspArgs.empty() && (!options.csp || options.cspArgs.back() != L' ')) std::abort();
  return 0;
}
