// The catalogue texts of a run, fetched through its platform.
#pragma once

#include <string>

#include "resources/message_catalogue.h"
#include "run/run_context.h"

namespace boot {

inline std::wstring LoadMessage(RunContext& context, Word id) {
  return LoadMessage(context.os, id);
}

}  // namespace boot
