/* Reading a box or dialog of another process: its texts, buttons and controls. */
#ifndef WINDOW_INSPECT_H
#define WINDOW_INSPECT_H

#include <windows.h>

#include "json_text.h"

/* The control that holds a message box's text. */
#define MESSAGE_TEXT_ID 0xFFFF

/* The text of a window of any process (WM_GETTEXT with a time limit). free() it. */
wchar_t* ReadWindowText(HWND window);

/* A visible child control with this ID, or NULL. */
HWND FindVisibleControl(HWND box, int id);

/* Appends the JSON members that describe the box (no braces): kind, caption, text, buttons
   with their IDs and names, icon, owner, window styles and every child control. */
void DescribeBox(HWND box, JsonText* record);

#endif
