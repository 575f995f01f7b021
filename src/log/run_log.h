// log/: the run's own log (its events, their lines, its file), secrets kept out of it, and
// numbers as the decimal text it and the boxes write.
// The run's own log: one line per event of the run, each handed to Windows as it happens.
// Steps report typed events here; the lines are formatted in one place (run_log_lines.cpp)
// and written through the seam (run_log_file.cpp). Every failure of the log is silent: a
// run without its log goes on exactly as it would with one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace boot {

// The box of the help text, which is not a catalogue message.
constexpr Word kHelpBoxId = 0;

// A piece of a log line: a fixed text of the program, in ASCII; a text that Windows, the user
// or a package gave; or a number, in decimal. Holds a pointer to a text: it lives as long as
// the expression that makes it. Two words, so that a line's pieces cost little to build.
class LogPiece {
 public:
  LogPiece(const char* ascii) : kind_(kAscii) { ascii_ = ascii; }  // NOLINT: converts implicitly
  LogPiece(const std::wstring& text) : kind_(kText) { text_ = &text; }  // NOLINT
  LogPiece(Dword number) : kind_(kUnsigned) { unsigned_ = number; }     // NOLINT
  LogPiece(int number) : kind_(kSigned) { signed_ = number; }           // NOLINT
  // Appends the piece as UTF-8; line breaks of a text become "\n", so one event stays one line.
  void AppendTo(std::string& line) const;

 private:
  enum Kind { kAscii, kText, kUnsigned, kSigned } kind_;
  union {
    const char* ascii_;
    const std::wstring* text_;
    Dword unsigned_;
    int signed_;
  };
};

class RunLog {
 public:
  explicit RunLog(Platform& os) : os_(os) {}
  ~RunLog() { Close(); }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates `<pathWithoutExtension>.log`, else with `_2`, `_3`... when the name exists.
  // Never opens an existing file or link. False when no file could be made.
  bool Open(const std::wstring& pathWithoutExtension);
  bool IsOpen() const { return file_ != 0; }
  const std::wstring& Path() const { return path_; }

  // The events of a run. Secret values of the command line, the options and an unrecognised
  // argument are written as *** (MaskSecretValues); a child's command line comes masked.
  void Fact(const char* name, std::initializer_list<LogPiece> value);
  void CommandLine(const std::wstring& commandLine);
  void UnrecognisedArgument(const std::wstring& argument);
  void Options(std::initializer_list<std::pair<const char*, bool>> flags,
               std::initializer_list<std::pair<const char*, const std::wstring*>> texts);
  void Check(const char* name, bool passed);
  void BoxShown(Word messageId, const std::wstring& text, int answer);
  void BoxSuppressed(Word messageId, const std::wstring& text, int answerTaken);
  void PackageSearch(const std::wstring& pattern, Dword result, const std::wstring& found);
  void PackageOpened(const std::wstring& path, Dword result);
  void PackageProperty(const std::wstring& name, Dword result, const std::wstring& value);
  void RelatedProduct(const std::wstring& upgradeCode, Dword result,
                      const std::wstring& productCode);
  void InstalledProduct(const std::wstring& productCode, const char* what, int state);
  void InstalledVersion(const std::wstring& productCode, Dword result, const std::wstring& version);
  void VersionsCompared(const std::wstring& installed, const std::wstring& package, int comparison);
  void Decision(const char* decision, LogPiece reason) { Decision(decision, {reason}); }
  void Decision(const char* decision, std::initializer_list<LogPiece> reason);
  void UiOptionReplaced(const std::wstring& option);
  void ChildStarting(const std::wstring& maskedCommandLine);
  void ChildNotStarted(Dword error);
  void ChildEnded(Dword exitCode, Dword milliseconds);
  void RestartMarker(LogPiece what);
  // Both FILETIMEs (UTC).
  void RestartMarkerAge(std::uint64_t written, std::uint64_t machineStarted, bool stale);
  void RestartWitness(const std::wstring& sid, const char* what);
  void ChildExitUnknown(Dword error);
  void InstallLogNotMade(const std::wstring& path, Dword error);
  // `files`: how many the release's manifest lists; 0 for a manifest that cannot be read.
  void ReleaseManifest(bool present, std::size_t files);
  // `expected` is empty for a file the manifest does not list.
  void ReleaseFile(const std::wstring& path, const std::wstring& expected,
                   const std::wstring& found);
  // The folder of the CSP's checked copy, and what became of it.
  void CspCopyFolder(const char* what, std::initializer_list<LogPiece> folder);
  void RestartRequested();
  void RestartResult(bool accepted, Dword error);
  // Waits for other installations; `waitResult` as WaitForSingleObject returns it.
  void Waiting(const std::wstring& holder, Dword atMostMilliseconds);
  void WaitEnded(const std::wstring& holder, Dword waitResult, Dword milliseconds);
  void NotWaitedFor(const std::wstring& holder, Dword error);
  void MutexNotMade(const std::wstring& holder, Dword error);
  void RunEnded(Dword exitCode);

  Dword Now() { return os_.GetTickCount(); }

 private:
  // One line: the milliseconds since the start, a blank, the pieces, CRLF.
  void Line(std::initializer_list<LogPiece> pieces);
  void Write(const std::string& bytes);
  void Close();

  Platform& os_;
  KernelHandle file_ = 0;
  Dword startTick_ = 0;
  std::wstring path_;
};

// The text as UTF-8, line breaks kept as they are.
std::string ToUtf8(const std::wstring& text);

}  // namespace boot
