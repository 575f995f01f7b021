// The styles of the bootstrapper's message boxes. Every box comes to the foreground and
// stays on top.
#pragma once

#include "platform/win_types.h"

namespace boot {

constexpr Dword kBoxOnTop = kMbSetForeground | kMbTopmost;
constexpr Dword kErrorBox = kMbOk | kMbIconError | kBoxOnTop;                 // 0x50010
constexpr Dword kQuestionBox = kMbYesNo | kBoxOnTop;                          // 0x50004
constexpr Dword kWarningQuestionBox = kMbYesNo | kMbIconWarning | kBoxOnTop;  // 0x50034
constexpr Dword kPlainBox = kMbOk | kBoxOnTop;                                // 0x50000
constexpr Dword kInformationBox = kMbOk | kMbIconInformation | kBoxOnTop;     // 0x50040

}  // namespace boot
