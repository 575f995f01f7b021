// A release build runs only what it was released with: before its first step it checks
// every file that the run will use against the manifest inside the signed program.
#pragma once

#include "run/run_context.h"

namespace boot {

// Without a manifest (a build that is not a release), does nothing and returns 0. With one,
// checks the files of the run: those that the plug-in step's searches find now and, with
// `csp`, every file in the csp folder, every file the manifest lists there and its
// Setup.exe. Each file is held open, for reading only, until the process ends, and the
// package searches keep their answers from now on. Returns 0 when every file is listed and
// its SHA-256 matches; else 1620 after message 154 naming the first file that does not
// (unless silent), and nothing is installed or started.
Dword CheckReleaseFiles(RunContext& context, bool silent, bool csp);

}  // namespace boot
