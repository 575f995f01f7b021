#include "driver/visibility.h"

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

bool StationHidden(const DesktopFacts& facts) {
  return !facts.stationFlagsRead || (facts.stationFlags & kWsfVisible) == 0;
}

bool InSessionZero(const DesktopFacts& facts) {
  return facts.majorVersion >= kFirstReleaseWithIsolatedSession0 &&
         (!facts.sessionRead || facts.sessionId == 0);
}

void DecideVisibility(RunContext& context) {
  const DesktopFacts facts = ReadDesktopFacts(context);
  const bool hidden = StationHidden(facts);
  const bool sessionZero = InSessionZero(facts);
  context.nobodyCanSee = hidden || sessionZero;
  const bool stationKnown = facts.stationFlagsRead;
  const bool sessionPlain = facts.sessionRead && !sessionZero;
  context.log.Fact(
      "desktop",
      {context.nobodyCanSee
           ? "nobody can see the run's windows: no box, as with -silent, and /qn for /qb ("
           : "visible (",
       !stationKnown ? "window station of unknown visibility (error "
       : hidden      ? "window station not visible"
                     : "window station visible",
       stationKnown ? LogPiece("") : LogPiece(facts.stationError),
       stationKnown ? "; " : "), counted as not visible; ",
       !facts.sessionRead ? "session unknown"
       : sessionZero      ? "session 0, where no user works"
                          : "session ",
       sessionPlain ? LogPiece(facts.sessionId) : LogPiece(""), ")"});
}

}  // namespace boot
