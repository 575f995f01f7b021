/* run_exit: starts one command line with CreateProcessW, waits for it and reports its full
   32-bit exit code (the Linux side of Wine only sees the low byte).

   run_exit.exe [options] --cmd TEXT          (or --cmdfile FILE, a UTF-8 file)
     --cwd DIR          working folder of the child (default: ours)
     --stdout FILE      the child's standard output and error go to this file
     --pid FILE         written once the child runs: its process id
     --code FILE        written once the child has ended: the line that is also printed
     --timeout SECONDS  end the child with TerminateProcess after this long
     --set NAME=VALUE   set an environment variable for the child (repeatable)
     --unset NAME       remove an environment variable for the child (repeatable)
     --memory FILE      written once the child has ended: "peak-working-set N",
                        "peak-pagefile N" (bytes) and "samples N", the highest peaks that
                        GetProcessMemoryInfo gave while the child ran, asked every few ms
                        (a process that has ended has no counters left to ask)
     --station NAME     run the child on a new window station NAME of its own, on its
                        desktop "Default": a station that is not interactive, as a service's
                        session 0 is, whose windows nobody can see or answer; the child and
                        every process it starts are in one job, all ended at the time-out
     --hold-mutex NAME  own the mutex NAME (made, or opened) from before the child starts
                        until --hold-seconds have passed or the child has ended, as another
                        installation holds Windows Installer's Global\_MSIExecute
     --hold-until FILE  --hold-mutex holds until FILE exists (or the child has ended)
     --hold-seconds N   how long --hold-mutex holds (default 0); the time-out counts after
   A first argument "@FILE" reads all arguments from a UTF-8 file, one per line.

   The printed line is "exit-code N" (unsigned decimal), "start-error N" (GetLastError of
   CreateProcessW) or "timeout". Our own exit code: 0 the child ended, 1 usage error,
   2 start error, 3 timeout. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>
/* psapi.h needs the types of windows.h first. */
#include <psapi.h>

#include "tool_io.h"

typedef struct {
  const wchar_t* commandLine;
  const wchar_t* commandFile;
  const wchar_t* workingFolder;
  const wchar_t* stdoutFile;
  const wchar_t* pidFile;
  const wchar_t* codeFile;
  const wchar_t* memoryFile;
  const wchar_t* station;
  const wchar_t* heldMutex;
  const wchar_t* holdUntil;
  DWORD holdSeconds;
  DWORD timeoutSeconds;
} RunRequest;

/* What a child on a station of its own holds: both live until the child has ended. */
typedef struct {
  HWINSTA station;
  HDESK desktop;
  HANDLE job;
  wchar_t desktopPath[128];
} Isolation;

typedef struct {
  SIZE_T peakWorkingSet;
  SIZE_T peakPagefile;
  DWORD samples;
} MemoryPeaks;

enum { kMemorySampleMilliseconds = 2 };

enum { kEnded = 0, kUsage = 1, kStartError = 2, kTimeout = 3 };

static int Usage(const wchar_t* problem) {
  fwprintf(stderr, L"run_exit: %ls\n", problem);
  return kUsage;
}

static BOOL ApplyEnvironmentChange(const wchar_t* option, const wchar_t* value) {
  if (wcscmp(option, L"--unset") == 0) {
    SetEnvironmentVariableW(value, NULL);
    return TRUE;
  }
  const wchar_t* equals = wcschr(value, L'=');
  if (!equals || equals == value) return FALSE;
  size_t nameLength = (size_t)(equals - value);
  wchar_t* name = malloc(sizeof(wchar_t) * (nameLength + 1));
  if (!name) return FALSE;
  wcsncpy(name, value, nameLength);
  name[nameLength] = L'\0';
  BOOL ok = SetEnvironmentVariableW(name, equals + 1);
  free(name);
  return ok;
}

/* Fills the request from the arguments; environment options take effect at once. */
static int ParseArguments(int argc, wchar_t** argv, RunRequest* request) {
  for (int i = 1; i < argc; i += 2) {
    const wchar_t* option = argv[i];
    if (i + 1 >= argc) return Usage(L"an option lacks its value");
    const wchar_t* value = argv[i + 1];
    if (wcscmp(option, L"--cmd") == 0) {
      request->commandLine = value;
    } else if (wcscmp(option, L"--cmdfile") == 0) {
      request->commandFile = value;
    } else if (wcscmp(option, L"--cwd") == 0) {
      request->workingFolder = value;
    } else if (wcscmp(option, L"--stdout") == 0) {
      request->stdoutFile = value;
    } else if (wcscmp(option, L"--pid") == 0) {
      request->pidFile = value;
    } else if (wcscmp(option, L"--code") == 0) {
      request->codeFile = value;
    } else if (wcscmp(option, L"--memory") == 0) {
      request->memoryFile = value;
    } else if (wcscmp(option, L"--station") == 0) {
      request->station = value;
    } else if (wcscmp(option, L"--hold-mutex") == 0) {
      request->heldMutex = value;
    } else if (wcscmp(option, L"--hold-until") == 0) {
      request->holdUntil = value;
    } else if (wcscmp(option, L"--hold-seconds") == 0) {
      if (!ParseNumber(value, &request->holdSeconds)) return Usage(L"bad --hold-seconds");
    } else if (wcscmp(option, L"--timeout") == 0) {
      if (!ParseNumber(value, &request->timeoutSeconds)) return Usage(L"bad --timeout");
    } else if (wcscmp(option, L"--set") == 0 || wcscmp(option, L"--unset") == 0) {
      if (!ApplyEnvironmentChange(option, value)) return Usage(L"bad --set");
    } else {
      return Usage(L"unknown option");
    }
  }
  if (!request->commandLine && !request->commandFile) return Usage(L"no --cmd or --cmdfile");
  return kEnded;
}

/* The command line as CreateProcessW may modify it; a trailing line break of a command
   file is not part of it. */
static wchar_t* LoadCommandLine(const RunRequest* request) {
  if (request->commandLine) return _wcsdup(request->commandLine);
  wchar_t* text = ReadUtf8File(request->commandFile);
  if (!text) return NULL;
  size_t length = wcslen(text);
  while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r')) {
    text[--length] = L'\0';
  }
  return text;
}

static HANDLE OpenInheritableOutput(const wchar_t* path) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
  return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

static void Report(const RunRequest* request, const wchar_t* line) {
  wprintf(L"%ls\n", line);
  fflush(stdout);
  if (request->codeFile) {
    wchar_t withBreak[64];
    swprintf(withBreak, 64, L"%ls\n", line);
    WriteUtf8FileAtomically(request->codeFile, withBreak);
  }
}

static void SampleMemory(HANDLE process, MemoryPeaks* peaks) {
  PROCESS_MEMORY_COUNTERS counters = {.cb = sizeof(counters)};
  if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
  if (counters.PeakWorkingSetSize > peaks->peakWorkingSet) {
    peaks->peakWorkingSet = counters.PeakWorkingSetSize;
  }
  if (counters.PeakPagefileUsage > peaks->peakPagefile) {
    peaks->peakPagefile = counters.PeakPagefileUsage;
  }
  peaks->samples++;
}

/* WaitForSingleObject in short slices, sampling the child's memory peaks between them. */
static DWORD WaitSamplingMemory(HANDLE process, DWORD limit, MemoryPeaks* peaks) {
  const DWORD started = GetTickCount();
  for (;;) {
    SampleMemory(process, peaks);
    const DWORD waited = GetTickCount() - started;
    if (limit != INFINITE && waited >= limit) return WAIT_TIMEOUT;
    DWORD slice = kMemorySampleMilliseconds;
    if (limit != INFINITE && limit - waited < slice) slice = limit - waited;
    const DWORD result = WaitForSingleObject(process, slice);
    if (result != WAIT_TIMEOUT) return result;
  }
}

static void WriteMemoryPeaks(const wchar_t* path, const MemoryPeaks* peaks) {
  wchar_t text[160];
  swprintf(text, 160, L"peak-working-set %llu\npeak-pagefile %llu\nsamples %lu\n",
           (unsigned long long)peaks->peakWorkingSet, (unsigned long long)peaks->peakPagefile,
           (unsigned long)peaks->samples);
  WriteUtf8FileAtomically(path, text);
}

/* A new window station with a desktop, made while this process sits on it (CreateDesktopW
   works on the caller's station), and the job for the child's process tree. */
static BOOL Isolate(const wchar_t* stationName, Isolation* isolation, STARTUPINFOW* startup) {
  isolation->station = CreateWindowStationW(stationName, 0, WINSTA_ALL_ACCESS, NULL);
  if (!isolation->station) return FALSE;
  HWINSTA own = GetProcessWindowStation();
  if (!SetProcessWindowStation(isolation->station)) return FALSE;
  isolation->desktop = CreateDesktopW(L"Default", NULL, NULL, 0, GENERIC_ALL, NULL);
  SetProcessWindowStation(own);
  isolation->job = CreateJobObjectW(NULL, NULL);
  if (!isolation->desktop || !isolation->job) return FALSE;
  swprintf(isolation->desktopPath, 128, L"%ls\\Default", stationName);
  startup->lpDesktop = isolation->desktopPath;
  return TRUE;
}

static void ReleaseIsolation(Isolation* isolation) {
  if (isolation->job) CloseHandle(isolation->job);
  if (isolation->desktop) CloseDesktop(isolation->desktop);
  if (isolation->station) CloseWindowStation(isolation->station);
}

static int WaitAndReport(const RunRequest* request, PROCESS_INFORMATION* child, HANDLE job) {
  DWORD limit = request->timeoutSeconds ? request->timeoutSeconds * 1000 : INFINITE;
  int outcome = kEnded;
  wchar_t line[64];
  MemoryPeaks peaks = {0};
  const DWORD waited = request->memoryFile ? WaitSamplingMemory(child->hProcess, limit, &peaks)
                                           : WaitForSingleObject(child->hProcess, limit);
  if (request->memoryFile) WriteMemoryPeaks(request->memoryFile, &peaks);
  if (waited == WAIT_TIMEOUT) {
    if (job) TerminateJobObject(job, 1);
    TerminateProcess(child->hProcess, 1);
    WaitForSingleObject(child->hProcess, 5000);
    swprintf(line, 64, L"timeout");
    outcome = kTimeout;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(child->hProcess, &code);
    swprintf(line, 64, L"exit-code %lu", (unsigned long)code);
  }
  Report(request, line);
  return outcome;
}

static int Run(const RunRequest* request) {
  wchar_t* commandLine = LoadCommandLine(request);
  if (!commandLine) return Usage(L"cannot read the command file");
  STARTUPINFOW startup = {.cb = sizeof(startup)};
  HANDLE output = INVALID_HANDLE_VALUE;
  if (request->stdoutFile) {
    output = OpenInheritableOutput(request->stdoutFile);
    if (output == INVALID_HANDLE_VALUE) return Usage(L"cannot create the --stdout file");
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  Isolation isolation = {0};
  if (request->station && !Isolate(request->station, &isolation, &startup)) {
    ReleaseIsolation(&isolation);
    return Usage(L"cannot make the window station, its desktop or the job");
  }
  HANDLE held = request->heldMutex ? CreateMutexW(NULL, TRUE, request->heldMutex) : NULL;
  if (request->heldMutex && (!held || GetLastError() == ERROR_ALREADY_EXISTS)) {
    return Usage(L"cannot own the --hold-mutex");
  }
  PROCESS_INFORMATION child = {0};
  /* On a station, the child joins the job before it runs, so its children join it too. */
  const DWORD flags = request->station ? CREATE_SUSPENDED : 0;
  BOOL started = CreateProcessW(NULL, commandLine, NULL, NULL, request->stdoutFile != NULL, flags,
                                NULL, request->workingFolder, &startup, &child);
  DWORD startError = started ? 0 : GetLastError();
  if (started && request->station) {
    if (!AssignProcessToJobObject(isolation.job, child.hProcess)) {
      TerminateProcess(child.hProcess, 1);
      return Usage(L"cannot put the child into the job");
    }
    ResumeThread(child.hThread);
  }
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  free(commandLine);
  if (!started) {
    ReleaseIsolation(&isolation);
    wchar_t line[64];
    swprintf(line, 64, L"start-error %lu", (unsigned long)startError);
    Report(request, line);
    return kStartError;
  }
  if (request->pidFile) {
    wchar_t pid[32];
    swprintf(pid, 32, L"%lu\n", (unsigned long)child.dwProcessId);
    WriteUtf8FileAtomically(request->pidFile, pid);
  }
  if (held && request->holdUntil) {
    while (GetFileAttributesW(request->holdUntil) == INVALID_FILE_ATTRIBUTES &&
           WaitForSingleObject(child.hProcess, 100) == WAIT_TIMEOUT) {
    }
  } else if (held) {
    WaitForSingleObject(child.hProcess, request->holdSeconds * 1000);
  }
  if (held) {
    ReleaseMutex(held);
    CloseHandle(held);
  }
  int outcome = WaitAndReport(request, &child, isolation.job);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  ReleaseIsolation(&isolation);
  return outcome;
}

int wmain(int argc, wchar_t** argv) {
  if (!ExpandResponseFile(&argc, &argv)) return Usage(L"cannot read the response file");
  RunRequest request = {0};
  int parsed = ParseArguments(argc, argv, &request);
  if (parsed != kEnded) return parsed;
  return Run(&request);
}
