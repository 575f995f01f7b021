// Calling functions found at run time with GetProcAddress.
#pragma once

#include <cstdint>

#include "platform/win32/windows_api.h"

namespace boot {

inline std::uintptr_t AddressOf(FARPROC procedure) {
  return reinterpret_cast<std::uintptr_t>(procedure);
}

// The function at an address, typed by the caller. Going through an integer keeps the
// compiler from comparing FARPROC's signature with the real one.
template <typename Function>
Function FunctionAt(std::uintptr_t address) {
  return reinterpret_cast<Function>(address);
}

template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return FunctionAt<Function>(AddressOf(::GetProcAddress(module, name)));
}

}  // namespace boot
