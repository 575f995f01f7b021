// cache/: the CSP's files as the run checked them, kept as the CSP's installation source.
// A release never runs the CSP's Setup.exe from the folder beside the program, which others
// may write to while the run goes on: before the CSP step it copies csp\ into a folder of the
// release's own under the common application data folder (%ProgramData%), one that the
// program made itself and that only SYSTEM and the administrators may write (users may read
// and run), and checks each copy as it writes it. Setup.exe runs from the copy, and the copy
// stays: the CSP's own packages keep it as their installation source for repair and
// patching. Which folder holds the copy is recorded under HKEY_LOCAL_MACHINE, where only the
// administrators write, so that a later run finds it and no folder someone else made is ever
// taken for it.
#pragma once

#include <string>

#include "files/file_digest.h"
#include "run/run_context.h"

namespace boot {

// Takes the copy's folder for the release `releaseId`: the recorded one when it belongs to
// this release, else a new one. 0, or the Windows error that left the run without one.
Dword OpenCspCopy(RunContext& context, const std::wstring& releaseId);

// Copies `relative` (below the program's folder) into the copy through one read of the
// original, which is closed afterwards. The SHA-256 of what was written, or a text beginning
// with "nothing" that says why there is none; a copy that does not match is removed. A file
// that the recorded copy of this release already holds is taken as it is: it was checked as
// it was copied, and only SYSTEM and the administrators may have written it since.
std::wstring CopyIntoCspCopy(RunContext& context, FileDigester& digester,
                             const std::wstring& programFolder, const std::wstring& relative,
                             const std::wstring& expected);

// The CSP step has succeeded: the copy is recorded as the CSP's installation source, and the
// copy recorded before, an earlier release's, goes.
void KeepCspCopy(RunContext& context);

// At the end of every run: a copy that this run made and did not keep goes, so that a run
// that fails before its CSP step has succeeded leaves no new copy behind.
void RemoveUnusedCspCopy(RunContext& context);

}  // namespace boot
