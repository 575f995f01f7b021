// The program is built without exceptions. The runtime's few ways to throw (a string or
// vector grown past its limit, memory exhausted) end the process instead, with the
// Windows code for exhausted memory, so that no run with a broken state goes on and no
// such run ends with a code that means success.
#include <cstdlib>
#include <new>

#include "platform/win32/windows_api.h"

namespace {

[[noreturn]] void EndOutOfMemory() { ::ExitProcess(ERROR_OUTOFMEMORY); }

}  // namespace

namespace std {

void __throw_bad_alloc() { EndOutOfMemory(); }
void __throw_bad_array_new_length() { EndOutOfMemory(); }
void __throw_length_error(const char*) { EndOutOfMemory(); }
void __throw_logic_error(const char*) { EndOutOfMemory(); }
void __throw_out_of_range_fmt(const char*, ...) { EndOutOfMemory(); }

}  // namespace std

void* operator new(std::size_t size) {
  void* memory = std::malloc(size != 0 ? size : 1);
  if (memory == nullptr) EndOutOfMemory();
  return memory;
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
