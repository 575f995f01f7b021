/* box_demo: a stand-in for the program under test, used to check the harness and its tools.
   A window program like the bootstrapper; it acts out its options in order:

   --owner                 create a hidden, disabled "STATIC" window that owns later boxes;
                           when that fails, print "no window" and end with exit code 3
   --box STYLE CAPTION TEXT  MessageBoxW with that style (a number); prints "answer N"
   --slow-box MS CAPTION TEXT  a dialog with an OK button that shows itself blank and fills
                           in its caption and text MS milliseconds later, as a box being made
                           on a slow machine does; prints "answer N"
   --print TEXT            print TEXT and a line break to standard output
   --env NAME              print "env NAME=VALUE", or "env NAME unset"
   --lang                  print "ui-language 0xNNNN" (GetSystemDefaultUILanguage)
   --run COMMANDLINE       start a child process, wait for it; prints "child N" (its exit
                           code) or "child start-error N"
   --sleep MS              pause
   --exit N                the exit code when all is done (default 0)

   In CAPTION, TEXT and --print, "\n", "\t" and "\\" stand for a line feed, a tab and a
   backslash. A first argument "@FILE" reads all arguments from a UTF-8 file, one per line. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include "tool_io.h"

/* Turns the escapes \n, \t and \\ into their characters, in place. */
static wchar_t* Unescape(wchar_t* text) {
  wchar_t* out = text;
  for (const wchar_t* in = text; *in; ++in) {
    if (*in == L'\\' && (in[1] == L'n' || in[1] == L't' || in[1] == L'\\')) {
      ++in;
      *out++ = *in == L'n' ? L'\n' : *in == L't' ? L'\t' : L'\\';
    } else {
      *out++ = *in;
    }
  }
  *out = L'\0';
  return text;
}

static void PrintLine(const wchar_t* format, ...) {
  wchar_t line[1024];
  va_list arguments;
  va_start(arguments, format);
  vswprintf(line, 1024, format, arguments);
  va_end(arguments);
  PrintUtf8(line);
}

static void PrintEnvironment(const wchar_t* name) {
  wchar_t value[1024];
  DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) {
    PrintLine(L"env %ls unset\n", name);
  } else {
    PrintLine(L"env %ls=%ls\n", name, value);
  }
}

static void RunChild(wchar_t* commandLine) {
  STARTUPINFOW startup = {.cb = sizeof(startup)};
  PROCESS_INFORMATION child = {0};
  if (!CreateProcessW(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child)) {
    PrintLine(L"child start-error %lu\n", (unsigned long)GetLastError());
    return;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  PrintLine(L"child %lu\n", (unsigned long)code);
}

typedef struct {
  DWORD delay;
  const wchar_t* caption;
  const wchar_t* text;
} SlowBox;

static INT_PTR CALLBACK SlowBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const SlowBox* slow = (const SlowBox*)lParam;
    ShowWindow(box, SW_SHOW);
    UpdateWindow(box);
    Sleep(slow->delay);
    SetWindowTextW(box, slow->caption);
    SetDlgItemTextW(box, 0xFFFF, slow->text);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(box, IDOK);
    return TRUE;
  }
  return FALSE;
}

/* Appends one item to a dialog template: its header, then class atom, empty title, no data. */
static WORD* AddTemplateItem(WORD* at, DWORD style, short x, short y, short cx, short cy, WORD id,
                             WORD classAtom) {
  at = (WORD*)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
  DLGITEMTEMPLATE* item = (DLGITEMTEMPLATE*)at;
  *item = (DLGITEMTEMPLATE){style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
  at = (WORD*)(item + 1);
  *at++ = 0xFFFF;
  *at++ = classAtom;
  *at++ = 0;
  *at++ = 0;
  return at;
}

static int ShowSlowBox(HWND owner, SlowBox* slow) {
  static DWORD buffer[256];
  DLGTEMPLATE* dialog = (DLGTEMPLATE*)buffer;
  *dialog =
      (DLGTEMPLATE){WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 2, 10, 10, 180, 60};
  WORD* at = (WORD*)(dialog + 1);
  *at++ = 0; /* no menu */
  *at++ = 0; /* the dialog class */
  *at++ = 0; /* no title yet */
  at = AddTemplateItem(at, SS_LEFT, 10, 10, 160, 20, 0xFFFF, 0x0082);
  AddTemplateItem(at, BS_DEFPUSHBUTTON, 65, 38, 50, 14, IDOK, 0x0080);
  return (int)DialogBoxIndirectParamW(GetModuleHandleW(NULL), dialog, owner, SlowBoxProc,
                                      (LPARAM)slow);
}

int wmain(int argc, wchar_t** argv) {
  if (!ExpandResponseFile(&argc, &argv)) return 2;
  HWND owner = NULL;
  DWORD exitCode = 0;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* option = argv[i];
    if (wcscmp(option, L"--owner") == 0) {
      owner = CreateWindowExW(0, L"STATIC", NULL, WS_DISABLED, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                              NULL, NULL, GetModuleHandleW(NULL), NULL);
      if (!owner) {
        PrintLine(L"no window\n");
        return 3;
      }
    } else if (wcscmp(option, L"--lang") == 0) {
      PrintLine(L"ui-language 0x%04x\n", (unsigned)GetSystemDefaultUILanguage());
    } else if (wcscmp(option, L"--box") == 0 && i + 3 < argc) {
      DWORD style = 0;
      ParseNumber(argv[i + 1], &style);
      int answer = MessageBoxW(owner, Unescape(argv[i + 3]), Unescape(argv[i + 2]), style);
      PrintLine(L"answer %d\n", answer);
      i += 3;
    } else if (wcscmp(option, L"--slow-box") == 0 && i + 3 < argc) {
      SlowBox slow = {0, Unescape(argv[i + 2]), Unescape(argv[i + 3])};
      ParseNumber(argv[i + 1], &slow.delay);
      PrintLine(L"answer %d\n", ShowSlowBox(owner, &slow));
      i += 3;
    } else if (wcscmp(option, L"--print") == 0 && i + 1 < argc) {
      PrintLine(L"%ls\n", Unescape(argv[++i]));
    } else if (wcscmp(option, L"--env") == 0 && i + 1 < argc) {
      PrintEnvironment(argv[++i]);
    } else if (wcscmp(option, L"--run") == 0 && i + 1 < argc) {
      RunChild(argv[++i]);
    } else if (wcscmp(option, L"--sleep") == 0 && i + 1 < argc) {
      DWORD milliseconds = 0;
      ParseNumber(argv[++i], &milliseconds);
      Sleep(milliseconds);
    } else if (wcscmp(option, L"--exit") == 0 && i + 1 < argc) {
      ParseNumber(argv[++i], &exitCode);
    } else {
      PrintLine(L"bad option %ls\n", option);
      return 2;
    }
  }
  return (int)exitCode;
}
