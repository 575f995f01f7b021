#include "driver/visibility.h"

#include "log/decimal_text.h"

namespace boot {
namespace {

constexpr Dword kFirstReleaseWithIsolatedSession0 = 6;  // Windows Vista

DesktopFacts ReadDesktopFacts(RunContext& context) {
  DesktopFacts facts;
  facts.stationFlagsRead = context.os.GetProcessWindowStationFlags(&facts.stationFlags);
  if (!facts.stationFlagsRead) facts.stationError = context.os.GetLastError();
  facts.sessionRead = context.os.ProcessIdToSessionId(&facts.sessionId);
  Dword minor = 0;
  context.os.RtlGetNtVersionNumbers(&facts.majorVersion, &minor, nullptr);
  return facts;
}

}  // namespace

Visibility JudgeVisibility(const DesktopFacts& facts) {
  Visibility verdict;
  std::wstring station;
  if (!facts.stationFlagsRead) {
    station = L"window station of unknown visibility (error " + DecimalText(facts.stationError) +
              L"), counted as visible";
  } else if ((facts.stationFlags & kWsfVisible) == 0) {
    verdict.nobodyCanSee = true;
    station = L"window station not visible";
  } else {
    station = L"window station visible";
  }
  std::wstring session;
  if (!facts.sessionRead) {
    session = L"session unknown, counted as visible";
  } else if (facts.sessionId == 0 && facts.majorVersion >= kFirstReleaseWithIsolatedSession0) {
    verdict.nobodyCanSee = true;
    session = L"session 0, where no user works";
  } else {
    session = L"session " + DecimalText(facts.sessionId);
  }
  verdict.reason = station + L"; " + session;
  return verdict;
}

void DecideVisibility(RunContext& context) {
  const Visibility verdict = JudgeVisibility(ReadDesktopFacts(context));
  context.nobodyCanSee = verdict.nobodyCanSee;
  context.log.Fact("desktop",
                   (verdict.nobodyCanSee ? L"nobody can see the run's windows: no box, as with "
                                           L"-silent, and /qn for /qb ("
                                         : L"visible (") +
                       verdict.reason + L")");
}

}  // namespace boot
