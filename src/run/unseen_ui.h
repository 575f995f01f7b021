// Windows Installer options where nobody can see: no user interface but /qn, whatever the
// user's text asks for, since a box there waits for an answer that never comes.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Where nobody can see, the user's options with every user-interface option replaced by
// "/qn", each replacement logged; elsewhere the options as they are.
std::wstring OptionsForThisDesktop(RunContext& context, const std::wstring& options);

}  // namespace boot
