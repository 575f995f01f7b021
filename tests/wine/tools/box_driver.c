/* box_driver: answers the message boxes and dialogs of a program under test, as a person
   would, and records what each one showed.

   box_driver.exe --record FILE --timeout SECONDS [--answers LIST]
                  [--pid-file FILE] [--done-file FILE] [--any-process]
   box_driver.exe --census --record FILE
     --record     JSON lines, UTF-8, appended: one line per box in the order seen, then one
                  closing line {"end": ...}
     --answers    comma-separated answers, one per box in order; an answer is one or more
                  actions joined by "+":
                    yes no ok cancel abort retry ignore help tryagain continue
                                 press that standard button (BM_CLICK)
                    click:N      BM_CLICK on control N
                    command:N    post WM_COMMAND (N, BN_CLICKED) to the box
                    close        post WM_CLOSE
                    wait:MS      pause
                    ask:TEXT     hand TEXT to the harness and wait until it has acted on the box
                                 (a screenshot, a key pressed on the X display...): TEXT and the
                                 box's screen rectangle "left top right bottom" are written, one
                                 per line, to ask.txt beside the --record file; the harness
                                 deletes that file when done (at most 30 s)
                    keep         the box is expected to stay open (do not wait for it to go)
     --pid-file   file holding the target's process id (run_exit --pid); only the target and
                  its descendants are watched
     --done-file  file that appears when the target has ended (run_exit --code)
     --any-process  watch top-level dialogs of every process (for use by hand)
     --census     only record every top-level window of the desktop (no box is touched)
   A first argument "@FILE" reads all arguments from a UTF-8 file, one per line.

   It ends when the target has ended (with "done", or "answers-left" when answers were not
   used), when the time limit passes ("timeout"), or when a box cannot be closed ("stuck").
   A box that appears when no answer is left is recorded as unexpected and closed (Cancel,
   else No, else OK, else WM_CLOSE). Exit code 0 only for "done" with no unexpected box and
   no failed action; 1 otherwise; 2 for a usage error. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "json_text.h"
#include "target_processes.h"
#include "tool_io.h"
#include "window_probe.h"

#define MAX_ANSWERS 64
#define MAX_ACTIONS 16
#define POLL_MS 20
#define CLOSE_WAIT_MS 2000
#define CLICK_LIMIT_MS 1000
#define MAX_CLOSE_ATTEMPTS 3
#define ASK_LIMIT_MS 30000
#define READY_LIMIT_MS 20000

typedef struct {
  wchar_t* text;
  int actionCount;
  wchar_t* actions[MAX_ACTIONS];
} Answer;

typedef struct {
  const wchar_t* recordFile;
  const wchar_t* pidFile;
  const wchar_t* doneFile;
  DWORD timeoutSeconds;
  BOOL anyProcess;
  BOOL censusOnly;
  int answerCount;
  int nextAnswer;
  Answer answers[MAX_ANSWERS];
  DWORD targetId;
  DWORD startTick;
  int boxes;
  int unexpected;
  int errors;
  HWND lastClosed;
  int closeAttempts;
} Driver;

typedef enum { kActionDone, kActionKeep, kActionFailed } ActionOutcome;

static int Usage(const wchar_t* problem) {
  fwprintf(stderr, L"box_driver: %ls\n", problem);
  return 2;
}

static DWORD Elapsed(const Driver* driver) { return GetTickCount() - driver->startTick; }

static BOOL FileExists(const wchar_t* path) {
  return path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

static void WriteRecord(const Driver* driver, const wchar_t* line) {
  char* bytes = WideToUtf8(line, -1);
  if (!bytes) return;
  size_t size = strlen(bytes);
  bytes[size] = '\n';
  WriteBytesToFile(driver->recordFile, bytes, (DWORD)size + 1, TRUE);
  fwrite(bytes, 1, size + 1, stdout);
  fflush(stdout);
  free(bytes);
}

/* Splits the --answers text in place into answers and their actions. */
static BOOL ParseAnswers(wchar_t* list, Driver* driver) {
  wchar_t* answerState = NULL;
  for (wchar_t* answer = wcstok_s(list, L",", &answerState); answer;
       answer = wcstok_s(NULL, L",", &answerState)) {
    if (driver->answerCount >= MAX_ANSWERS) return FALSE;
    Answer* parsed = &driver->answers[driver->answerCount++];
    parsed->text = _wcsdup(answer);
    wchar_t* actionState = NULL;
    for (wchar_t* action = wcstok_s(answer, L"+", &actionState); action;
         action = wcstok_s(NULL, L"+", &actionState)) {
      if (parsed->actionCount >= MAX_ACTIONS) return FALSE;
      parsed->actions[parsed->actionCount++] = action;
    }
  }
  return TRUE;
}

static int ParseArguments(int argc, wchar_t** argv, Driver* driver) {
  for (int i = 1; i < argc; ++i) {
    const wchar_t* option = argv[i];
    if (wcscmp(option, L"--any-process") == 0) {
      driver->anyProcess = TRUE;
      continue;
    }
    if (wcscmp(option, L"--census") == 0) {
      driver->censusOnly = TRUE;
      continue;
    }
    if (i + 1 >= argc) return Usage(L"an option lacks its value");
    wchar_t* value = argv[++i];
    if (wcscmp(option, L"--record") == 0) {
      driver->recordFile = value;
    } else if (wcscmp(option, L"--pid-file") == 0) {
      driver->pidFile = value;
    } else if (wcscmp(option, L"--done-file") == 0) {
      driver->doneFile = value;
    } else if (wcscmp(option, L"--timeout") == 0) {
      if (!ParseNumber(value, &driver->timeoutSeconds)) return Usage(L"bad --timeout");
    } else if (wcscmp(option, L"--answers") == 0) {
      if (!ParseAnswers(value, driver)) return Usage(L"too many answers or actions");
    } else {
      return Usage(L"unknown option");
    }
  }
  if (driver->censusOnly) return driver->recordFile ? 0 : Usage(L"need --record");
  if (!driver->recordFile || !driver->timeoutSeconds) return Usage(L"need --record, --timeout");
  if (!driver->pidFile && !driver->anyProcess) return Usage(L"need --pid-file or --any-process");
  return 0;
}

static void ReadTargetId(Driver* driver) {
  if (driver->targetId || !driver->pidFile) return;
  wchar_t* text = ReadUtf8File(driver->pidFile);
  if (!text) return;
  driver->targetId = (DWORD)wcstoul(text, NULL, 10);
  free(text);
}

typedef struct {
  const Driver* driver;
  const ProcessSet* targets;
  HWND skip;
  HWND found;
  DWORD processId;
} BoxSearch;

static BOOL CALLBACK CheckTopLevelWindow(HWND window, LPARAM context) {
  BoxSearch* search = (BoxSearch*)context;
  wchar_t className[16] = L"";
  if (window == search->skip || !IsWindowVisible(window)) return TRUE;
  if (!GetClassNameW(window, className, 16) || wcscmp(className, L"#32770") != 0) return TRUE;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (!search->driver->anyProcess && !TargetProcessName(search->targets, processId)) return TRUE;
  search->found = window;
  search->processId = processId;
  return FALSE;
}

/* The target and every process started below it, as far as they are known yet. */
static void CollectTargets(Driver* driver, ProcessSet* targets) {
  targets->count = 0;
  ReadTargetId(driver);
  if (driver->targetId) CollectTargetProcesses(driver->targetId, targets);
}

/* The first visible top-level dialog of a watched process, other than `skip`. Its process's
   name comes from a second snapshot, taken once the box exists: in the first, a process
   started just before may still be listed without a name (Wine names a process once it has
   mapped its program), and the driver may lose the processor between that snapshot and
   finding the box. */
static HWND FindBox(Driver* driver, HWND skip, DWORD* processId, wchar_t* processName) {
  static ProcessSet targets;
  CollectTargets(driver, &targets);
  BoxSearch search = {driver, &targets, skip, NULL, 0};
  EnumWindows(CheckTopLevelWindow, (LPARAM)&search);
  if (!search.found) return NULL;
  CollectTargets(driver, &targets);
  const wchar_t* name = TargetProcessName(&targets, search.processId);
  wcsncpy(processName, name ? name : L"", MAX_PATH - 1);
  processName[MAX_PATH - 1] = L'\0';
  *processId = search.processId;
  return search.found;
}

static int StandardButtonId(const wchar_t* name) {
  static const wchar_t* const names[] = {L"ok",     L"cancel",   L"abort",   L"retry",
                                         L"ignore", L"yes",      L"no",      NULL,
                                         L"help",   L"tryagain", L"continue"};
  for (int i = 0; i < (int)(sizeof(names) / sizeof(names[0])); ++i) {
    if (names[i] && wcscmp(names[i], name) == 0) return i + 1;
  }
  return 0;
}

static BOOL ClickControl(HWND box, int id) {
  HWND control = FindVisibleControl(box, id);
  if (!control) return FALSE;
  DWORD_PTR ignored = 0;
  /* The click may open a nested modal loop in the box's thread; the send then times out
     while the click goes on being handled, which is fine. */
  SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, CLICK_LIMIT_MS, &ignored);
  return TRUE;
}

static BOOL NumberAfter(const wchar_t* action, const wchar_t* prefix, DWORD* value) {
  size_t length = wcslen(prefix);
  return wcsncmp(action, prefix, length) == 0 && ParseNumber(action + length, value);
}

/* `name` in the folder of the record file. */
static BOOL BesideRecord(const Driver* driver, const wchar_t* name, wchar_t* path) {
  const wchar_t* slash = wcsrchr(driver->recordFile, L'\\');
  size_t folderLength = slash ? (size_t)(slash + 1 - driver->recordFile) : 0;
  if (folderLength + wcslen(name) >= MAX_PATH) return FALSE;
  wcsncpy(path, driver->recordFile, folderLength);
  wcscpy(path + folderLength, name);
  return TRUE;
}

static BOOL AskHarness(const Driver* driver, HWND box, const wchar_t* text) {
  wchar_t path[MAX_PATH];
  RECT rect;
  if (!BesideRecord(driver, L"ask.txt", path) || !GetWindowRect(box, &rect)) return FALSE;
  wchar_t request[512];
  swprintf(request, 512, L"%ls\n%ld %ld %ld %ld\n", text, rect.left, rect.top, rect.right,
           rect.bottom);
  if (!WriteUtf8FileAtomically(path, request)) return FALSE;
  DWORD start = GetTickCount();
  while (FileExists(path)) {
    if (GetTickCount() - start >= ASK_LIMIT_MS) {
      DeleteFileW(path);
      return FALSE;
    }
    Sleep(POLL_MS);
  }
  return TRUE;
}

static ActionOutcome PerformAction(const Driver* driver, HWND box, const wchar_t* action) {
  DWORD number = 0;
  int standardId = StandardButtonId(action);
  if (standardId) return ClickControl(box, standardId) ? kActionDone : kActionFailed;
  if (NumberAfter(action, L"click:", &number)) {
    return ClickControl(box, (int)number) ? kActionDone : kActionFailed;
  }
  if (NumberAfter(action, L"command:", &number)) {
    HWND control = GetDlgItem(box, (int)number);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED), (LPARAM)control);
    return kActionDone;
  }
  if (NumberAfter(action, L"wait:", &number)) {
    Sleep(number);
    return kActionDone;
  }
  if (wcsncmp(action, L"ask:", 4) == 0) {
    return AskHarness(driver, box, action + 4) ? kActionDone : kActionFailed;
  }
  if (wcscmp(action, L"close") == 0) {
    PostMessageW(box, WM_CLOSE, 0, 0);
    return kActionDone;
  }
  return wcscmp(action, L"keep") == 0 ? kActionKeep : kActionFailed;
}

/* A box that has ended is hidden at once and destroyed a little later. */
static BOOL BoxGone(HWND box) { return !IsWindow(box) || !IsWindowVisible(box); }

/* Waits until the box is gone, or another watched box has appeared above it. */
static void WaitUntilClosed(Driver* driver, HWND box) {
  DWORD start = GetTickCount();
  while (!BoxGone(box) && GetTickCount() - start < CLOSE_WAIT_MS) {
    DWORD processId = 0;
    wchar_t name[MAX_PATH];
    if (FindBox(driver, box, &processId, name)) return;
    Sleep(POLL_MS / 2);
  }
}

/* Closes a box nobody expected, choosing the harmless answer. */
static void CloseUnexpectedBox(Driver* driver, HWND box) {
  static const int harmless[] = {IDCANCEL, IDNO, IDOK};
  BOOL clicked = FALSE;
  for (size_t i = 0; i < sizeof(harmless) / sizeof(harmless[0]) && !clicked; ++i) {
    clicked = ClickControl(box, harmless[i]);
  }
  if (!clicked) PostMessageW(box, WM_CLOSE, 0, 0);
  WaitUntilClosed(driver, box);
}

/* Applies the next answer; appends "answer", "result" and "closed" to the record.
   Returns TRUE when the box had to be closed against the scenario's will. */
static BOOL AnswerBox(Driver* driver, HWND box, JsonText* record) {
  if (driver->nextAnswer >= driver->answerCount) {
    ++driver->unexpected;
    JsonAppend(record, L",\"answer\":null,\"result\":\"unexpected\"");
    CloseUnexpectedBox(driver, box);
    JsonAppendFormat(record, L",\"closed\":%ls", BoxGone(box) ? L"true" : L"false");
    return TRUE;
  }
  Answer* answer = &driver->answers[driver->nextAnswer++];
  JsonAppend(record, L",\"answer\":");
  JsonAppendString(record, answer->text);
  ActionOutcome outcome = kActionDone;
  for (int i = 0; i < answer->actionCount && outcome != kActionFailed; ++i) {
    ActionOutcome step = PerformAction(driver, box, answer->actions[i]);
    if (step != kActionDone) outcome = step;
    if (step == kActionFailed) {
      JsonAppend(record, L",\"failed_action\":");
      JsonAppendString(record, answer->actions[i]);
    }
  }
  if (outcome == kActionFailed) {
    ++driver->errors;
    JsonAppend(record, L",\"result\":\"action-failed\"");
    CloseUnexpectedBox(driver, box);
  } else {
    JsonAppend(record, L",\"result\":\"answered\"");
    if (outcome != kActionKeep) WaitUntilClosed(driver, box);
  }
  JsonAppendFormat(record, L",\"closed\":%ls", BoxGone(box) ? L"true" : L"false");
  return outcome == kActionFailed;
}

/* Waits until the box's thread answers: then it runs the box's message loop. A box being
   made on a slow machine can be found before its thread has filled in its texts, or while
   it is too busy to answer in time; its description is taken again until every question was
   answered, for a limited time (then it is recorded as it is, marked incomplete). */
static void DescribeWhenReady(HWND box, JsonText* record) {
  const size_t start = record->length;
  const DWORD started = GetTickCount();
  for (;;) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_NORMAL, READY_LIMIT_MS, &ignored);
    if (DescribeBox(box, record)) return;
    if (GetTickCount() - started >= READY_LIMIT_MS || !IsWindow(box)) break;
    record->length = start;
    record->data[start] = L'\0';
  }
  JsonAppend(record, L",\"complete\":false");
}

/* Records and answers one box. Returns FALSE when the same box refuses to close. */
static BOOL HandleBox(Driver* driver, HWND box, DWORD processId, const wchar_t* processName) {
  JsonText record = {0};
  JsonAppendFormat(&record, L"{\"index\":%d,\"at_ms\":%lu,\"pid\":%lu,\"process\":",
                   ++driver->boxes, (unsigned long)Elapsed(driver), (unsigned long)processId);
  JsonAppendString(&record, processName);
  JsonAppend(&record, L",");
  DescribeWhenReady(box, &record);
  BOOL forcedClose = AnswerBox(driver, box, &record);
  JsonAppend(&record, L"}");
  WriteRecord(driver, record.data);
  JsonFree(&record);
  if (!forcedClose || BoxGone(box)) return TRUE;
  driver->closeAttempts = box == driver->lastClosed ? driver->closeAttempts + 1 : 1;
  driver->lastClosed = box;
  return driver->closeAttempts < MAX_CLOSE_ATTEMPTS;
}

static const wchar_t* Drive(Driver* driver) {
  for (;;) {
    if (Elapsed(driver) >= driver->timeoutSeconds * 1000) return L"timeout";
    BOOL targetEnded = FileExists(driver->doneFile);
    DWORD processId = 0;
    wchar_t processName[MAX_PATH];
    HWND box = FindBox(driver, NULL, &processId, processName);
    if (box) {
      if (!HandleBox(driver, box, processId, processName)) return L"stuck";
      continue;
    }
    if (targetEnded) {
      return driver->nextAnswer < driver->answerCount ? L"answers-left" : L"done";
    }
    Sleep(POLL_MS);
  }
}

static BOOL CALLBACK AppendTopLevelWindow(HWND window, LPARAM context) {
  JsonText* record = (JsonText*)context;
  wchar_t className[64] = L"";
  GetClassNameW(window, className, 64);
  wchar_t* title = ReadWindowText(window, NULL);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  JsonAppend(record, record->data[record->length - 1] == L'[' ? L"{\"class\":" : L",{\"class\":");
  JsonAppendString(record, className);
  JsonAppend(record, L",\"title\":");
  JsonAppendString(record, title);
  JsonAppendFormat(record, L",\"pid\":%lu,\"visible\":%ls}", (unsigned long)processId,
                   IsWindowVisible(window) ? L"true" : L"false");
  free(title);
  return TRUE;
}

/* What was going on when a run did not end as it should: the target's process id and the
   processes started below it, and every top-level window of the desktop. */
static void AppendCensus(Driver* driver, JsonText* record) {
  static ProcessSet targets;
  CollectTargets(driver, &targets);
  JsonAppendFormat(record, L",\"target_pid\":%lu,\"target_processes\":[",
                   (unsigned long)driver->targetId);
  for (int i = 0; i < targets.count; ++i) {
    JsonAppend(record, i ? L"," : L"");
    JsonAppendString(record, targets.names[i]);
  }
  JsonAppend(record, L"],\"windows\":[");
  EnumWindows(AppendTopLevelWindow, (LPARAM)record);
  JsonAppend(record, L"]");
}

static void WriteEnd(Driver* driver, const wchar_t* end) {
  JsonText record = {0};
  JsonAppendFormat(&record,
                   L"{\"end\":\"%ls\",\"boxes\":%d,\"unexpected\":%d,\"errors\":%d,"
                   L"\"elapsed_ms\":%lu,\"unused_answers\":[",
                   end, driver->boxes, driver->unexpected, driver->errors,
                   (unsigned long)Elapsed(driver));
  for (int i = driver->nextAnswer; i < driver->answerCount; ++i) {
    JsonAppend(&record, i > driver->nextAnswer ? L"," : L"");
    JsonAppendString(&record, driver->answers[i].text);
  }
  JsonAppend(&record, L"]");
  if (wcscmp(end, L"done") != 0) AppendCensus(driver, &record);
  JsonAppend(&record, L"}");
  WriteRecord(driver, record.data);
  JsonFree(&record);
}

int wmain(int argc, wchar_t** argv) {
  if (!ExpandResponseFile(&argc, &argv)) return Usage(L"cannot read the response file");
  static Driver driver;
  int parsed = ParseArguments(argc, argv, &driver);
  if (parsed != 0) return parsed;
  driver.startTick = GetTickCount();
  const wchar_t* end = driver.censusOnly ? L"census" : Drive(&driver);
  WriteEnd(&driver, end);
  BOOL clean = wcscmp(end, L"done") == 0 && !driver.unexpected && !driver.errors;
  return clean ? 0 : 1;
}
