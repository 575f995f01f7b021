#include "wait/bounded_wait.h"

#include "run/message_wait.h"

namespace boot {
namespace {

// Takes the time since `started` from the budget; returns that time.
Dword Spend(RunContext& context, Dword started) {
  const Dword elapsed = context.os.GetTickCount() - started;
  context.waitBudget = elapsed >= context.waitBudget ? 0 : context.waitBudget - elapsed;
  return elapsed;
}

}  // namespace

Dword TakeMutexWithinBudget(RunContext& context, KernelHandle mutex, const std::wstring& holder) {
  const Dword atOnce = WaitAnsweringMessages(context, mutex, 0);
  if (atOnce == kWaitFailed) context.log.NotWaitedFor(holder, context.os.GetLastError());
  if (atOnce != kWaitTimeout) return atOnce;
  context.log.Waiting(holder, context.waitBudget);
  const Dword started = context.os.GetTickCount();
  const Dword taken = WaitAnsweringMessages(context, mutex, context.waitBudget);
  context.log.WaitEnded(holder, taken, Spend(context, started));
  return taken;
}

bool PauseWithinBudget(RunContext& context, Dword milliseconds) {
  if (context.waitBudget < milliseconds) return false;
  const Dword started = context.os.GetTickCount();
  WaitAnsweringMessages(context, 0, milliseconds);
  Spend(context, started);
  return true;
}

}  // namespace boot
