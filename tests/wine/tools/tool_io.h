/* Small helpers shared by the Windows test tools: UTF-8 files, response files and
   decimal numbers. The tools are run from Linux, so every text that crosses to the
   harness is UTF-8. */
#ifndef TOOL_IO_H
#define TOOL_IO_H

#include <windows.h>

/* Returns a new UTF-8 copy of `count` wide characters (-1: up to the NUL). free() it. */
char* WideToUtf8(const wchar_t* text, int count);

/* Returns a new wide copy of a NUL-terminated UTF-8 text. free() it. */
wchar_t* Utf8ToWide(const char* text);

/* Reads a whole UTF-8 file (a leading byte order mark is dropped) as a new wide text,
   or NULL when it cannot be read. free() it. */
wchar_t* ReadUtf8File(const wchar_t* path);

/* Writes UTF-8 bytes to a file, replacing or appending. Returns FALSE on failure. */
BOOL WriteBytesToFile(const wchar_t* path, const char* bytes, DWORD size, BOOL append);

/* Writes a wide text as UTF-8 to a new file that appears complete or not at all:
   it is written beside the target and renamed over it. */
BOOL WriteUtf8FileAtomically(const wchar_t* path, const wchar_t* text);

/* Prints a wide text to standard output as UTF-8. */
void PrintUtf8(const wchar_t* text);

/* Expands "@file" arguments: when argv[1] is "@path", the arguments are the lines of that
   UTF-8 file, taken exactly (a final CR of a line is dropped; no quoting rules). This is how
   the harness hands over texts that a Linux command line would mangle (Cyrillic, quotes,
   line breaks). On return *argc and *argv describe the arguments to parse; argv[0] is kept.
   Returns FALSE when the file cannot be read. */
BOOL ExpandResponseFile(int* argc, wchar_t*** argv);

/* Parses an unsigned decimal or 0x-prefixed hexadecimal 32-bit number. */
BOOL ParseNumber(const wchar_t* text, DWORD* value);

#endif
