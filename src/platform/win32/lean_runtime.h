// Included before everything in the Windows build (-include). The C++ runtime is linked
// statically; its string class is instantiated in the program itself rather than taken
// from the runtime library, so that no exception machinery comes along with it. Together
// with lean_runtime.cpp this keeps the shipped program small.
#pragma once

#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
