/* Reading a box or dialog of another process: its texts, buttons and controls. */
#ifndef WINDOW_INSPECT_H
#define WINDOW_INSPECT_H

#include <windows.h>

#include "json_text.h"

/* The control that holds a message box's text. */
#define MESSAGE_TEXT_ID 0xFFFF

/* The text of a window of any process (WM_GETTEXT with a time limit). free() it. When the
   window's thread does not answer in time the text is empty and *answered (if given) is
   cleared. */
wchar_t* ReadWindowText(HWND window, BOOL* answered);

/* A visible child control with this ID, or NULL. */
HWND FindVisibleControl(HWND box, int id);

/* Appends the JSON members that describe the box (no braces): kind, caption, text, buttons
   with their IDs and names, icon, owner, window styles and every child control. FALSE when
   the box's thread left a question unanswered, so that some of it may be missing. */
BOOL DescribeBox(HWND box, JsonText* record);

#endif
