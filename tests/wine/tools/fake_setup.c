/* fake_setup: stands in for the CSP distribution's Setup.exe in the Wine scenarios. It does
   nothing but say how it was started, and ends with the code the scenario chose.

   Files beside the program (its own folder, not the current one):
     starts.jsonl    appended, one JSON line per start, UTF-8:
                     {"command_line": GetCommandLineW(), "current_folder": GetCurrentDirectoryW(),
                      "log_written": the path of the log it created, or null}
     exit-code.txt   read: the exit code, decimal or 0x-hex (0 when the file is missing)
     write-log.txt   when present: create the log file named in the -args text, the text
                     between the first two runs of three quotation marks, as an installer
                     asked for a verbose log would
     csphook.dll     loaded by bare name at every start, as many installers load a helper
                     of theirs: the search takes the program's own folder first
     broadcast.txt   when present: before ending, announce a changed environment as
                     installers do, SendMessage(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                     "Environment"), which returns only when every top-level window answered
   A window program without windows, like the installer it replaces. */
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "json_text.h"
#include "tool_io.h"

#define PATH_CHARS 1024

static const wchar_t kLogQuotes[] = L"\"\"\"";

/* `name` in the program's own folder. */
static void BesideProgram(const wchar_t* name, wchar_t* path) {
  DWORD length = GetModuleFileNameW(NULL, path, PATH_CHARS);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (length == 0 || length >= PATH_CHARS || !slash) {
    path[0] = L'\0';
    slash = path - 1;
  }
  swprintf(slash + 1, PATH_CHARS - (size_t)(slash + 1 - path), L"%ls", name);
}

static DWORD ChosenExitCode(void) {
  wchar_t path[PATH_CHARS];
  BesideProgram(L"exit-code.txt", path);
  wchar_t* text = ReadUtf8File(path);
  DWORD code = 0;
  if (text) {
    wchar_t* end = text + wcslen(text);
    while (end > text && (end[-1] == L'\n' || end[-1] == L'\r' || end[-1] == L' ')) *--end = 0;
    if (!ParseNumber(text, &code)) code = 0;
    free(text);
  }
  return code;
}

static BOOL FileBesideProgram(const wchar_t* name) {
  wchar_t path[PATH_CHARS];
  BesideProgram(name, path);
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

/* Creates the log named between the first two runs of three quotes; returns its path
   (free() it) or NULL when the command line names none or it cannot be written. */
static wchar_t* WriteNamedLog(const wchar_t* commandLine) {
  const wchar_t* start = wcsstr(commandLine, kLogQuotes);
  if (!start) return NULL;
  start += wcslen(kLogQuotes);
  const wchar_t* end = wcsstr(start, kLogQuotes);
  if (!end || end == start) return NULL;
  size_t length = (size_t)(end - start);
  wchar_t* logPath = calloc(length + 1, sizeof(wchar_t));
  if (!logPath) return NULL;
  wcsncpy(logPath, start, length);
  static const char kLine[] = "fake Setup.exe: verbose log\r\n";
  if (!WriteBytesToFile(logPath, kLine, (DWORD)strlen(kLine), FALSE)) {
    free(logPath);
    return NULL;
  }
  return logPath;
}

static void RecordStart(const wchar_t* commandLine, const wchar_t* logWritten) {
  wchar_t folder[PATH_CHARS] = L"";
  DWORD length = GetCurrentDirectoryW(PATH_CHARS, folder);
  if (length == 0 || length >= PATH_CHARS) folder[0] = L'\0';
  JsonText record = {0};
  JsonAppend(&record, L"{\"command_line\":");
  JsonAppendString(&record, commandLine);
  JsonAppend(&record, L",\"current_folder\":");
  JsonAppendString(&record, folder);
  JsonAppend(&record, L",\"log_written\":");
  if (logWritten) {
    JsonAppendString(&record, logWritten);
  } else {
    JsonAppend(&record, L"null");
  }
  JsonAppend(&record, L"}\n");
  char* bytes = WideToUtf8(record.data, -1);
  wchar_t path[PATH_CHARS];
  BesideProgram(L"starts.jsonl", path);
  if (bytes) WriteBytesToFile(path, bytes, (DWORD)strlen(bytes), TRUE);
  free(bytes);
  JsonFree(&record);
}

int wmain(void) {
  LoadLibraryW(L"csphook.dll");
  const wchar_t* commandLine = GetCommandLineW();
  wchar_t* logWritten = FileBesideProgram(L"write-log.txt") ? WriteNamedLog(commandLine) : NULL;
  RecordStart(commandLine, logWritten);
  free(logWritten);
  if (FileBesideProgram(L"broadcast.txt")) {
    SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)L"Environment");
  }
  return (int)ChosenExitCode();
}
