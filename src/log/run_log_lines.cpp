// The text of each kind of line of the run log. Fixed texts are ASCII: the file is UTF-8,
// and a narrow text takes half the room of a wide one in the shipped program.
#include "log/decimal_text.h"
#include "log/run_log.h"
#include "log/secret_values.h"

namespace boot {
namespace {

LogPiece AnswerName(int answer) {
  switch (answer) {
    case kIdOk:
      return "OK";
    case kIdCancel:
      return "Cancel";
    case kIdYes:
      return "Yes";
    case kIdNo:
      return "No";
    case 0:
      return "none (the box could not be shown)";
  }
  return answer;
}

const char* ComparisonText(int comparison) {
  if (comparison > 0) return "the package is newer";
  if (comparison < 0) return "the package is older";
  return "the versions are equal";
}

// INSTALLSTATE values as Windows Installer names them.
const char* InstallStateName(int state) {
  switch (state) {
    case -2:
      return " (invalid argument)";
    case -1:
      return " (unknown)";
    case 1:
      return " (advertised)";
    case 2:
      return " (absent)";
    case 3:
      return " (local)";
    case 4:
      return " (source)";
    case 5:
      return " (installed)";
  }
  return "";
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
  const unsigned fields[] = {month, day, secondOfDay / 3600, secondOfDay / 60 % 60,
                             secondOfDay % 60};
  std::wstring text = DecimalText(year);
  for (int i = 0; i < 5; ++i) {
    text += L"-- ::"[i];
    text += static_cast<wchar_t>(L'0' + fields[i] / 10);
    text += static_cast<wchar_t>(L'0' + fields[i] % 10);
  }
  return text + L" UTC";
}

const char* WaitOutcome(Dword waitResult) {
  switch (waitResult) {
    case kWaitObject0:
      return "free";
    case kWaitAbandoned0:
      return "free (its owner ended without giving it back)";
    case kWaitTimeout:
      return "still busy: the time for waiting is spent";
  }
  return "could not be waited for";
}

struct ExitMeaning {
  Dword code;
  const char* meaning;
};

constexpr ExitMeaning kExitMeanings[] = {
    {0, "success, or nothing to do (help shown, declined, cancelled, same version)"},
    {1, "not an administrator, or the upgrade was declined"},
    {3, "Windows 2000 below Service Pack 4"},
    {4, "Windows XP below Service Pack 2"},
    {5, "Windows Server 2003 below Service Pack 1"},
    {7, "installed, but Windows refused the restart"},
    {14, "memory exhausted"},
    {203, "TMP is not set, so no install log could be named"},
    {206, "a package path is too long"},
    {232, "no plug-in package found"},
    {1602, "cancelled by the user, or the reinstall was declined"},
    {1620, "a file beside the program is not the release's, or this Windows cannot check it"},
    {1622, "the folder of -log could not be made or written"},
    {1603, "the installation failed"},
    {1618, "another installation is in progress"},
    {1638, "another version of the product is installed"},
    {1639, "an argument was not recognised, and nobody can see the help"},
    {1641, "the CSP's Setup.exe started a restart, so nothing more was run"},
    {3010, "installed; Windows would not restart now, so the restart stays pending"},
};

const char* ExitCodeMeaning(Dword code) {
  for (const auto& entry : kExitMeanings) {
    if (entry.code == code) return entry.meaning;
  }
  return "the failing step's own code (its exit code or the Windows error of its start)";
}

LogPiece OrNone(const std::wstring& productCode) {
  return productCode.empty() ? LogPiece("(none)") : LogPiece(productCode);
}

LogPiece BoxNumber(Word messageId) {
  if (messageId == kHelpBoxId) return "help";
  return messageId;
}

// The pieces as one UTF-8 text, for a piece of a line.
std::string Joined(std::initializer_list<LogPiece> pieces) {
  std::string text;
  for (const LogPiece& piece : pieces) piece.AppendTo(text);
  return text;
}

}  // namespace

void RunLog::Fact(const char* name, std::initializer_list<LogPiece> value) {
  Line({name, ": ", Joined(value).c_str()});
}

void RunLog::Options(std::initializer_list<std::pair<const char*, bool>> flags,
                     std::initializer_list<std::pair<const char*, const std::wstring*>> texts) {
  std::string line = "options:";
  for (const auto& [name, on] : flags) ((line += ' ') += name) += on ? "=yes" : "=no";
  for (const auto& [name, text] : texts) {
    ((line += ' ') += name) += "=\"";
    LogPiece(MaskSecretValues(*text)).AppendTo(line);
    line += '"';
  }
  Line({line.c_str()});
}

void RunLog::CommandLine(const std::wstring& commandLine) {
  Fact("command line", {MaskSecretValues(commandLine)});
}

void RunLog::UnrecognisedArgument(const std::wstring& argument) {
  Fact("argument not recognised", {MaskSecretValues(argument)});
}

void RunLog::Check(const char* name, bool passed) {
  Line({"check ", name, ": ", passed ? "passed" : "FAILED"});
}

void RunLog::BoxShown(Word messageId, const std::wstring& text, int answer) {
  Line({"box ", BoxNumber(messageId), " shown: \"", text, "\"; answer ", AnswerName(answer)});
}

void RunLog::BoxSuppressed(Word messageId, const std::wstring& text, int answerTaken) {
  Line({"box ", BoxNumber(messageId), " suppressed by -silent: \"", text, "\"; answer taken ",
        AnswerName(answerTaken)});
}

void RunLog::PackageSearch(const std::wstring& pattern, Dword result, const std::wstring& found) {
  if (result == kErrorSuccess) return Line({"package search ", pattern, ": found ", found});
  Line({"package search ", pattern, ": nothing found (", result, ")"});
}

void RunLog::PackageOpened(const std::wstring& path, Dword result) {
  if (result == kErrorSuccess) return Line({"package ", path, ": opened"});
  Line({"package ", path, ": could not be opened (", result, ")"});
}

void RunLog::PackageProperty(const std::wstring& name, Dword result, const std::wstring& value) {
  if (result == kErrorSuccess) return Line({"package property ", name, " = ", value});
  Line({"package property ", name, ": not read (", result, ")"});
}

void RunLog::RelatedProduct(const std::wstring& upgradeCode, Dword result,
                            const std::wstring& productCode) {
  if (result == kErrorSuccess) {
    return Line({"related product of UpgradeCode ", upgradeCode, ": ", productCode});
  }
  Line({"related product of UpgradeCode ", upgradeCode, ": none (", result, ")"});
}

void RunLog::InstalledProduct(const std::wstring& productCode, const char* what, int state) {
  Line({"installed product ", OrNone(productCode), ": ", what, " state ", state,
        InstallStateName(state)});
}

void RunLog::InstalledVersion(const std::wstring& productCode, Dword result,
                              const std::wstring& version) {
  if (result == kErrorSuccess) {
    return Line({"installed product ", OrNone(productCode), " version ", version});
  }
  Line({"installed product ", OrNone(productCode), " version not read (", result, ")"});
}

void RunLog::VersionsCompared(const std::wstring& installed, const std::wstring& package,
                              int comparison) {
  Line(
      {"versions: installed ", installed, ", package ", package, ": ", ComparisonText(comparison)});
}

void RunLog::Decision(const char* decision, std::initializer_list<LogPiece> reason) {
  Line({"decision: ", decision, " (", Joined(reason).c_str(), ")"});
}

void RunLog::UiOptionReplaced(const std::wstring& option) {
  Line({"option ", option, " replaced by /qn: nobody can see the run's windows"});
}

void RunLog::ChildStarting(const std::wstring& maskedCommandLine) {
  Line({"starting: ", maskedCommandLine});
}

void RunLog::ChildNotStarted(Dword error) {
  Line({"the program could not be started: error ", error});
}

void RunLog::ChildEnded(Dword exitCode, Dword milliseconds) {
  Line({"the program ended with exit code ", exitCode, " after ", milliseconds, " ms"});
}

void RunLog::ChildExitUnknown(Dword error) {
  Line({"the program's end or exit code could not be read: error ", error});
}

void RunLog::InstallLogNotMade(const std::wstring& path, Dword error) {
  Line({"install log ", path, " could NOT be made (error ", error,
        "): the program gets no log option"});
}

void RunLog::ReleaseManifest(bool present, std::size_t files) {
  if (!present) {
    Line(
        {"release manifest: none, the files beside the program are used unchecked (a build "
         "that is not a release)"});
  } else if (files == 0) {
    Line({"release manifest: DAMAGED, it lists no file: every file is refused"});
  } else {
    Line({"release manifest: ", static_cast<Dword>(files),
          " files; each file of this run is checked and held open until the run ends"});
  }
}

void RunLog::ReleaseFile(const std::wstring& path, const std::wstring& expected,
                         const std::wstring& found) {
  if (expected.empty()) {
    Line({"release file ", path, ": NOT in the release's manifest"});
  } else if (found == expected) {
    Line({"release file ", path, ": SHA-256 ", found, ", as in the release's manifest"});
  } else {
    Line(
        {"release file ", path, " does NOT match: expected SHA-256 ", expected, ", found ", found});
  }
}

void RunLog::RestartMarker(LogPiece what) {
  Line({"restart marker HKCU\\Software\\NeedBstrReboot: ", what});
}

void RunLog::RestartMarkerAge(std::uint64_t written, std::uint64_t machineStarted, bool stale) {
  Line({"restart marker HKCU\\Software\\NeedBstrReboot: written ", UtcText(written),
        stale ? ", before the machine started at " : ", since the machine started at ",
        UtcText(machineStarted),
        stale ? ": the restart it asked for has happened" : ": a restart is pending"});
}

void RunLog::CspCopyFolder(const char* what, std::initializer_list<LogPiece> folder) {
  Line({"CSP's copy ", Joined(folder).c_str(), ": ", what});
}

void RunLog::RestartWitness(const std::wstring& sid, const char* what) {
  Line({"restart witness HKLM\\SOFTWARE\\StalverBrowserPluginPendingRestart\\", sid,
        " (volatile): ", what});
}

void RunLog::RestartRequested() { Line({"asking Windows to restart"}); }

void RunLog::RestartResult(bool accepted, Dword error) {
  if (accepted) return Line({"Windows accepted the restart"});
  Line({"Windows refused the restart: error ", error});
}

void RunLog::Waiting(const std::wstring& holder, Dword atMostMilliseconds) {
  Line({"waiting for ", holder, ", at most ", atMostMilliseconds, " ms"});
}

void RunLog::WaitEnded(const std::wstring& holder, Dword waitResult, Dword milliseconds) {
  Line({holder, ": ", WaitOutcome(waitResult), " after ", milliseconds, " ms"});
}

void RunLog::NotWaitedFor(const std::wstring& holder, Dword error) {
  Line({holder, ": not waited for (error ", error, ")"});
}

void RunLog::MutexNotMade(const std::wstring& holder, Dword error) {
  Line({holder, ": could not be made (error ", error, "), opened to wait on"});
}

void RunLog::RunEnded(Dword exitCode) {
  Line({"exit code ", exitCode, ": ", ExitCodeMeaning(exitCode)});
  Close();
}

}  // namespace boot
