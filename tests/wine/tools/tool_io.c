#include "tool_io.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

char* WideToUtf8(const wchar_t* text, int count) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, count, NULL, 0, NULL, NULL);
  char* bytes = malloc((size_t)size + 1);
  if (!bytes) return NULL;
  WideCharToMultiByte(CP_UTF8, 0, text, count, bytes, size, NULL, NULL);
  bytes[size] = '\0';
  return bytes;
}

wchar_t* Utf8ToWide(const char* text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  wchar_t* wide = malloc(sizeof(wchar_t) * ((size_t)size + 1));
  if (!wide) return NULL;
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, size);
  wide[size] = L'\0';
  return wide;
}

wchar_t* ReadUtf8File(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return NULL;
  DWORD size = GetFileSize(file, NULL);
  char* bytes = malloc((size_t)size + 1);
  DWORD read = 0;
  BOOL ok = bytes && ReadFile(file, bytes, size, &read, NULL) && read == size;
  CloseHandle(file);
  if (!ok) {
    free(bytes);
    return NULL;
  }
  bytes[size] = '\0';
  const char* start = bytes;
  if (size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) start += 3;
  wchar_t* wide = Utf8ToWide(start);
  free(bytes);
  return wide;
}

BOOL WriteBytesToFile(const wchar_t* path, const char* bytes, DWORD size, BOOL append) {
  HANDLE file = CreateFileW(path, append ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes, size, &written, NULL) && written == size;
  CloseHandle(file);
  return ok;
}

BOOL WriteUtf8FileAtomically(const wchar_t* path, const wchar_t* text) {
  size_t length = wcslen(path);
  wchar_t* partial = malloc(sizeof(wchar_t) * (length + 9));
  char* bytes = WideToUtf8(text, -1);
  BOOL ok = partial && bytes;
  if (ok) {
    swprintf(partial, length + 9, L"%ls.partial", path);
    ok = WriteBytesToFile(partial, bytes, (DWORD)strlen(bytes), FALSE) &&
         MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING);
  }
  free(partial);
  free(bytes);
  return ok;
}

void PrintUtf8(const wchar_t* text) {
  char* bytes = WideToUtf8(text, -1);
  if (!bytes) return;
  fputs(bytes, stdout);
  fflush(stdout);
  free(bytes);
}

static int CountLines(const wchar_t* text) {
  int lines = 0;
  for (const wchar_t* at = text; *at; ++at) {
    if (*at == L'\n') ++lines;
  }
  return lines + 1;
}

BOOL ExpandResponseFile(int* argc, wchar_t*** argv) {
  if (*argc < 2 || (*argv)[1][0] != L'@') return TRUE;
  wchar_t* text = ReadUtf8File((*argv)[1] + 1);
  if (!text) return FALSE;
  wchar_t** lines = malloc(sizeof(wchar_t*) * ((size_t)CountLines(text) + 2));
  if (!lines) return FALSE;
  int count = 0;
  lines[count++] = (*argv)[0];
  wchar_t* line = text;
  while (*line) {
    wchar_t* end = wcschr(line, L'\n');
    wchar_t* next = end ? end + 1 : line + wcslen(line);
    if (end) *end = L'\0';
    size_t length = wcslen(line);
    if (length > 0 && line[length - 1] == L'\r') line[length - 1] = L'\0';
    lines[count++] = line;
    line = next;
  }
  lines[count] = NULL;
  *argc = count;
  *argv = lines;
  return TRUE;
}

BOOL ParseNumber(const wchar_t* text, DWORD* value) {
  if (!text || !*text) return FALSE;
  wchar_t* end = NULL;
  BOOL hex = text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
  unsigned long parsed = wcstoul(text, &end, hex ? 16 : 10);
  if (*end != L'\0') return FALSE;
  *value = (DWORD)parsed;
  return TRUE;
}
