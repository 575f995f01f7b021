// The text of each kind of line of the run log.
#include "log/decimal_text.h"
#include "log/run_log.h"
#include "log/secret_values.h"

namespace boot {
namespace {

std::wstring Number(Dword value) { return DecimalText(value); }

const wchar_t* YesNo(bool value) { return value ? L"yes" : L"no"; }

// Line breaks of message texts are shown as "\n", so that one event stays one line.
std::wstring OneLine(const std::wstring& text) {
  std::wstring line;
  for (wchar_t c : text) {
    if (c == L'\n') {
      line += L"\\n";
    } else if (c != L'\r') {
      line += c;
    }
  }
  return line;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + OneLine(text) + L"\""; }

std::wstring AnswerName(int answer) {
  switch (answer) {
    case kIdOk:
      return L"OK";
    case kIdCancel:
      return L"Cancel";
    case kIdYes:
      return L"Yes";
    case kIdNo:
      return L"No";
    case 0:
      return L"none (the box could not be shown)";
  }
  return DecimalText(answer);
}

std::wstring BoxName(Word messageId) {
  return messageId == kHelpBoxId ? std::wstring(L"box help") : L"box " + Number(messageId);
}

const wchar_t* ComparisonText(int comparison) {
  if (comparison > 0) return L"the package is newer";
  if (comparison < 0) return L"the package is older";
  return L"the versions are equal";
}

// INSTALLSTATE values as Windows Installer names them.
std::wstring InstallStateText(int state) {
  switch (state) {
    case -2:
      return L"-2 (invalid argument)";
    case -1:
      return L"-1 (unknown)";
    case 1:
      return L"1 (advertised)";
    case 2:
      return L"2 (absent)";
    case 3:
      return L"3 (local)";
    case 4:
      return L"4 (source)";
    case 5:
      return L"5 (installed)";
  }
  return DecimalText(state);
}

std::wstring ProductCodeText(const std::wstring& productCode) {
  return productCode.empty() ? std::wstring(L"(none)") : productCode;
}

// Days since 1970-01-01 as a civil date of the proleptic Gregorian calendar.
void CivilDate(std::int64_t days, std::int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  *month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  *year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (*month <= 2);
}

std::wstring TwoDigits(unsigned value) { return (value < 10 ? L"0" : L"") + DecimalText(value); }

// A FILETIME (100 ns since 1601, UTC) as YYYY-MM-DD HH:MM:SS UTC.
std::wstring UtcText(std::uint64_t fileTime) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const std::int64_t seconds =
      static_cast<std::int64_t>(fileTime / 10000000) - kSecondsFrom1601To1970;
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const auto secondOfDay = static_cast<unsigned>(seconds - days * 86400);
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilDate(days, &year, &month, &day);
  return DecimalText(year) + L"-" + TwoDigits(month) + L"-" + TwoDigits(day) + L" " +
         TwoDigits(secondOfDay / 3600) + L":" + TwoDigits(secondOfDay / 60 % 60) + L":" +
         TwoDigits(secondOfDay % 60) + L" UTC";
}

std::wstring WaitOutcome(Dword waitResult) {
  switch (waitResult) {
    case kWaitObject0:
      return L"free";
    case kWaitAbandoned0:
      return L"free (its owner ended without giving it back)";
    case kWaitTimeout:
      return L"still busy: the time for waiting is spent";
  }
  return L"could not be waited for";
}

struct ExitMeaning {
  Dword code;
  const wchar_t* meaning;
};

constexpr ExitMeaning kExitMeanings[] = {
    {0, L"success, or nothing to do (help shown, declined, cancelled, same version)"},
    {1, L"not an administrator, or the upgrade was declined"},
    {3, L"Windows 2000 below Service Pack 4"},
    {4, L"Windows XP below Service Pack 2"},
    {5, L"Windows Server 2003 below Service Pack 1"},
    {7, L"installed, but Windows refused the restart"},
    {14, L"memory exhausted"},
    {203, L"TMP is not set, so no install log could be named"},
    {206, L"a package path is too long"},
    {232, L"no plug-in package found"},
    {1602, L"cancelled by the user, or the reinstall was declined"},
    {1620, L"a file beside the program is not the one the release was made with"},
    {1603, L"the installation failed"},
    {1618, L"another installation is in progress"},
    {1638, L"another version of the product is installed"},
    {1639, L"an argument was not recognised, and nobody can see the help"},
};

const wchar_t* ExitCodeMeaning(Dword code) {
  for (const auto& entry : kExitMeanings) {
    if (entry.code == code) return entry.meaning;
  }
  return L"the failing step's own code (its exit code or the Windows error of its start)";
}

}  // namespace

void RunLog::Fact(const wchar_t* name, const std::wstring& value) {
  Line(std::wstring(name) + L": " + OneLine(value));
}

void RunLog::Options(std::initializer_list<std::pair<const wchar_t*, bool>> flags,
                     std::initializer_list<std::pair<const wchar_t*, const std::wstring*>> texts) {
  std::wstring line = L"options:";
  for (const auto& [name, on] : flags) line += std::wstring(L" ") + name + L"=" + YesNo(on);
  for (const auto& [name, text] : texts) {
    line += std::wstring(L" ") + name + L"=" + Quoted(MaskSecretValues(*text));
  }
  Line(line);
}

void RunLog::CommandLine(const std::wstring& commandLine) {
  Fact(L"command line", MaskSecretValues(commandLine));
}

void RunLog::UnrecognisedArgument(const std::wstring& argument) {
  Fact(L"argument not recognised", MaskSecretValues(argument));
}

void RunLog::Check(const wchar_t* name, bool passed) {
  Line(std::wstring(L"check ") + name + L": " + (passed ? L"passed" : L"FAILED"));
}

void RunLog::BoxShown(Word messageId, const std::wstring& text, int answer) {
  Line(BoxName(messageId) + L" shown: " + Quoted(text) + L"; answer " + AnswerName(answer));
}

void RunLog::BoxSuppressed(Word messageId, const std::wstring& text, int answerTaken) {
  Line(BoxName(messageId) + L" suppressed by -silent: " + Quoted(text) + L"; answer taken " +
       AnswerName(answerTaken));
}

void RunLog::PackageSearch(const std::wstring& pattern, Dword result, const std::wstring& found) {
  Line(L"package search " + pattern +
       (result == kErrorSuccess ? L": found " + found
                                : L": nothing found (" + Number(result) + L")"));
}

void RunLog::PackageOpened(const std::wstring& path, Dword result) {
  Line(L"package " + path +
       (result == kErrorSuccess ? std::wstring(L": opened")
                                : L": could not be opened (" + Number(result) + L")"));
}

void RunLog::PackageProperty(const std::wstring& name, Dword result, const std::wstring& value) {
  Line(L"package property " + name +
       (result == kErrorSuccess ? L" = " + value : L": not read (" + Number(result) + L")"));
}

void RunLog::RelatedProduct(const std::wstring& upgradeCode, Dword result,
                            const std::wstring& productCode) {
  Line(L"related product of UpgradeCode " + upgradeCode +
       (result == kErrorSuccess ? L": " + productCode : L": none (" + Number(result) + L")"));
}

void RunLog::InstalledProduct(const std::wstring& productCode, const wchar_t* what, int state) {
  Line(L"installed product " + ProductCodeText(productCode) + L": " + what + L" state " +
       InstallStateText(state));
}

void RunLog::InstalledVersion(const std::wstring& productCode, Dword result,
                              const std::wstring& version) {
  Line(L"installed product " + ProductCodeText(productCode) +
       (result == kErrorSuccess ? L" version " + version
                                : L" version not read (" + Number(result) + L")"));
}

void RunLog::VersionsCompared(const std::wstring& installed, const std::wstring& package,
                              int comparison) {
  Line(L"versions: installed " + installed + L", package " + package + L": " +
       ComparisonText(comparison));
}

void RunLog::Decision(const wchar_t* decision, const std::wstring& reason) {
  Line(std::wstring(L"decision: ") + decision + L" (" + reason + L")");
}

void RunLog::ChildStarting(const std::wstring& commandLine) {
  Line(L"starting: " + MaskSecretValues(commandLine));
}

void RunLog::ChildNotStarted(Dword error) {
  Line(L"the program could not be started: error " + Number(error));
}

void RunLog::ChildEnded(Dword exitCode, Dword milliseconds) {
  Line(L"the program ended with exit code " + Number(exitCode) + L" after " + Number(milliseconds) +
       L" ms");
}

void RunLog::ChildExitUnknown(Dword error) {
  Line(L"the program's end or exit code could not be read: error " + Number(error));
}

void RunLog::InstallLogNotMade(const std::wstring& path, Dword error) {
  Line(L"install log " + path + L" could NOT be made (error " + Number(error) +
       L"): the program gets no log option");
}

void RunLog::ReleaseManifest(bool present, std::size_t files) {
  if (!present) {
    Line(
        L"release manifest: none, the files beside the program are used unchecked (a build "
        L"that is not a release)");
  } else if (files == 0) {
    Line(L"release manifest: DAMAGED, it lists no file: every file is refused");
  } else {
    Line(L"release manifest: " + Number(static_cast<Dword>(files)) +
         L" files; each file of this run is checked and held open until the run ends");
  }
}

void RunLog::ReleaseFile(const std::wstring& path, const std::wstring& expected,
                         const std::wstring& found) {
  if (expected.empty()) {
    Line(L"release file " + path + L": NOT in the release's manifest");
  } else if (found == expected) {
    Line(L"release file " + path + L": SHA-256 " + found + L", as in the release's manifest");
  } else {
    Line(L"release file " + path + L" does NOT match: expected SHA-256 " + expected + L", found " +
         found);
  }
}

void RunLog::RestartMarker(const std::wstring& what) {
  Line(L"restart marker HKCU\\Software\\NeedBstrReboot: " + what);
}

void RunLog::RestartMarkerAge(std::uint64_t written, std::uint64_t machineStarted, bool stale) {
  RestartMarker(L"written " + UtcText(written) +
                (stale ? L", before the machine started at " : L", since the machine started at ") +
                UtcText(machineStarted) +
                (stale ? L": the restart it asked for has happened" : L": a restart is pending"));
}

void RunLog::RestartRequested() { Line(L"asking Windows to restart"); }

void RunLog::RestartResult(bool accepted, Dword error) {
  Line(accepted ? std::wstring(L"Windows accepted the restart")
                : L"Windows refused the restart: error " + Number(error));
}

void RunLog::Waiting(const std::wstring& holder, Dword atMostMilliseconds) {
  Line(L"waiting for " + holder + L", at most " + Number(atMostMilliseconds) + L" ms");
}

void RunLog::WaitEnded(const std::wstring& holder, Dword waitResult, Dword milliseconds) {
  Line(holder + L": " + WaitOutcome(waitResult) + L" after " + Number(milliseconds) + L" ms");
}

void RunLog::NotWaitedFor(const std::wstring& holder, Dword error) {
  Line(holder + L": not waited for (error " + Number(error) + L")");
}

void RunLog::RunEnded(Dword exitCode) {
  Line(L"exit code " + Number(exitCode) + L": " + ExitCodeMeaning(exitCode));
  Close();
}

}  // namespace boot
