#include "window_probe.h"

#include <stdlib.h>
#include <wchar.h>

/* How long one message to the box's thread may take before we give up on it. The thread
   is asked without SMTO_ABORTIFHUNG: on a slow machine a thread that is busy drawing its
   first window for seconds is not hung. */
#define SEND_LIMIT_MS 5000
/* The icon control of Wine's message box template. */
#define MESSAGE_ICON_ID 0x0440

/* Sends a message to a window of another process; on no answer, clears *answered (when
   given) and leaves *result at 0. */
static void Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result,
                BOOL* answered) {
  *result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, SEND_LIMIT_MS, result)) {
    *result = 0;
    if (answered) *answered = FALSE;
  }
}

wchar_t* ReadWindowText(HWND window, BOOL* answered) {
  DWORD_PTR length = 0;
  Ask(window, WM_GETTEXTLENGTH, 0, 0, &length, answered);
  wchar_t* text = calloc(length + 2, sizeof(wchar_t));
  if (!text) abort();
  DWORD_PTR copied = 0;
  if (length > 0) {
    Ask(window, WM_GETTEXT, length + 1, (LPARAM)text, &copied, answered);
    text[copied <= length ? copied : length] = L'\0';
  }
  return text;
}

HWND FindVisibleControl(HWND box, int id) {
  HWND control = GetDlgItem(box, id);
  return control && IsWindowVisible(control) ? control : NULL;
}

static const wchar_t* ButtonName(int id) {
  static const wchar_t* const names[] = {NULL,     L"ok",     L"cancel",   L"abort",
                                         L"retry", L"ignore", L"yes",      L"no",
                                         NULL,     L"help",   L"tryagain", L"continue"};
  return id > 0 && id < (int)(sizeof(names) / sizeof(names[0])) ? names[id] : NULL;
}

static void AppendButtons(HWND box, JsonText* record) {
  JsonAppend(record, L"\"buttons\":[");
  BOOL first = TRUE;
  for (int id = 1; id <= 11; ++id) {
    if (!ButtonName(id) || !FindVisibleControl(box, id)) continue;
    JsonAppend(record, first ? L"" : L",");
    JsonAppendString(record, ButtonName(id));
    first = FALSE;
  }
  JsonAppend(record, L"]");
}

/* Whether the message box shows an icon. Which one cannot be told from another process:
   each process has its own handles for the system icons. */
static BOOL HasIcon(HWND box, BOOL* answered) {
  HWND control = FindVisibleControl(box, MESSAGE_ICON_ID);
  DWORD_PTR icon = 0;
  if (control) Ask(control, STM_GETICON, 0, 0, &icon, answered);
  return icon != 0;
}

static void AppendOwner(HWND box, JsonText* record) {
  HWND owner = GetWindow(box, GW_OWNER);
  JsonAppend(record, L"\"owner\":");
  if (!owner) {
    JsonAppend(record, L"null");
    return;
  }
  wchar_t className[64] = L"";
  GetClassNameW(owner, className, 64);
  JsonAppend(record, L"{\"class\":");
  JsonAppendString(record, className);
  JsonAppendFormat(record, L",\"visible\":%ls,\"enabled\":%ls}",
                   IsWindowVisible(owner) ? L"true" : L"false",
                   IsWindowEnabled(owner) ? L"true" : L"false");
}

static void AppendControl(HWND control, JsonText* record, BOOL* answered) {
  wchar_t className[64] = L"";
  GetClassNameW(control, className, 64);
  wchar_t* text = ReadWindowText(control, answered);
  JsonAppendFormat(record, L"{\"id\":%u,\"class\":", (unsigned)GetDlgCtrlID(control) & 0xFFFF);
  JsonAppendString(record, className);
  JsonAppend(record, L",\"text\":");
  JsonAppendString(record, text);
  JsonAppendFormat(record, L",\"visible\":%ls,\"enabled\":%ls,\"style\":\"0x%08lx\"",
                   IsWindowVisible(control) ? L"true" : L"false",
                   IsWindowEnabled(control) ? L"true" : L"false",
                   (unsigned long)GetWindowLongW(control, GWL_STYLE));
  if (_wcsicmp(className, L"Button") == 0) {
    DWORD_PTR state = 0;
    Ask(control, BM_GETCHECK, 0, 0, &state, answered);
    JsonAppendFormat(record, L",\"checked\":%u", (unsigned)state);
  }
  JsonAppend(record, L"}");
  free(text);
}

typedef struct {
  HWND box;
  JsonText* record;
  BOOL first;
  BOOL* answered;
} ControlWalk;

static BOOL CALLBACK AppendDirectChild(HWND control, LPARAM context) {
  ControlWalk* walk = (ControlWalk*)context;
  if (GetParent(control) != walk->box) return TRUE;
  JsonAppend(walk->record, walk->first ? L"" : L",");
  AppendControl(control, walk->record, walk->answered);
  walk->first = FALSE;
  return TRUE;
}

BOOL DescribeBox(HWND box, JsonText* record) {
  BOOL answered = TRUE;
  HWND textControl = GetDlgItem(box, MESSAGE_TEXT_ID);
  wchar_t* caption = ReadWindowText(box, &answered);
  wchar_t* text = textControl ? ReadWindowText(textControl, &answered) : NULL;
  JsonAppendFormat(record, L"\"kind\":\"%ls\",\"caption\":",
                   textControl ? L"message-box" : L"dialog");
  JsonAppendString(record, caption);
  JsonAppend(record, L",\"text\":");
  JsonAppendString(record, text ? text : L"");
  JsonAppend(record, L",");
  AppendButtons(box, record);
  JsonAppendFormat(record, L",\"has_icon\":%ls,", HasIcon(box, &answered) ? L"true" : L"false");
  AppendOwner(box, record);
  JsonAppendFormat(record, L",\"style\":\"0x%08lx\",\"exstyle\":\"0x%08lx\",\"controls\":[",
                   (unsigned long)GetWindowLongW(box, GWL_STYLE),
                   (unsigned long)GetWindowLongW(box, GWL_EXSTYLE));
  ControlWalk walk = {box, record, TRUE, &answered};
  EnumChildWindows(box, AppendDirectChild, (LPARAM)&walk);
  JsonAppend(record, L"]");
  free(caption);
  free(text);
  return answered;
}
