#include "json_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Reserve(JsonText* text, size_t extra) {
  if (text->length + extra + 1 <= text->capacity) return;
  size_t capacity = text->capacity ? text->capacity : 256;
  while (capacity < text->length + extra + 1) capacity *= 2;
  wchar_t* grown = realloc(text->data, sizeof(wchar_t) * capacity);
  if (!grown) abort();
  text->data = grown;
  text->capacity = capacity;
}

static void AppendCharacters(JsonText* text, const wchar_t* piece, size_t count) {
  Reserve(text, count);
  memcpy(text->data + text->length, piece, sizeof(wchar_t) * count);
  text->length += count;
  text->data[text->length] = L'\0';
}

void JsonAppend(JsonText* text, const wchar_t* piece) {
  AppendCharacters(text, piece, wcslen(piece));
}

void JsonAppendFormat(JsonText* text, const wchar_t* format, ...) {
  wchar_t piece[256];
  va_list arguments;
  va_start(arguments, format);
  vswprintf(piece, 256, format, arguments);
  va_end(arguments);
  JsonAppend(text, piece);
}

static void AppendEscaped(JsonText* text, wchar_t character) {
  switch (character) {
    case L'"':
      JsonAppend(text, L"\\\"");
      return;
    case L'\\':
      JsonAppend(text, L"\\\\");
      return;
    case L'\n':
      JsonAppend(text, L"\\n");
      return;
    case L'\r':
      JsonAppend(text, L"\\r");
      return;
    case L'\t':
      JsonAppend(text, L"\\t");
      return;
    default:
      if (character < 0x20) {
        JsonAppendFormat(text, L"\\u%04x", (unsigned)character);
      } else {
        AppendCharacters(text, &character, 1);
      }
  }
}

void JsonAppendString(JsonText* text, const wchar_t* value) {
  JsonAppend(text, L"\"");
  for (const wchar_t* at = value ? value : L""; *at; ++at) AppendEscaped(text, *at);
  JsonAppend(text, L"\"");
}

void JsonFree(JsonText* text) {
  free(text->data);
  text->data = NULL;
  text->length = text->capacity = 0;
}
