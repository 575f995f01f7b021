#include "run/system_function.h"

namespace boot {

ProcAddress FindLoadedFunction(RunContext& context, const wchar_t* module, const char* name) {
  const ModuleHandle loaded = context.os.GetModuleHandle(module);
  return loaded == 0 ? 0 : context.os.GetProcAddress(loaded, name);
}

}  // namespace boot
