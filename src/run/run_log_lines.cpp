// The text of each kind of line of the run log.
#include "run/decimal_text.h"
#include "run/run_log.h"
#include "run/secret_values.h"

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
    {1638, L"another version of the product is installed"},
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

void RunLog::RestartMarker(const wchar_t* what) {
  Line(std::wstring(L"restart marker HKCU\\Software\\NeedBstrReboot: ") + what);
}

void RunLog::RestartRequested() { Line(L"asking Windows to restart"); }

void RunLog::RestartResult(bool accepted) {
  Line(accepted ? L"Windows accepted the restart" : L"Windows refused the restart");
}

void RunLog::RunEnded(Dword exitCode) {
  Line(L"exit code " + Number(exitCode) + L": " + ExitCodeMeaning(exitCode));
  Close();
}

}  // namespace boot
