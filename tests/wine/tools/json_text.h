/* A growing wide text for building one JSON record at a time. */
#ifndef JSON_TEXT_H
#define JSON_TEXT_H

#include <stddef.h>
#include <wchar.h>

typedef struct {
  wchar_t* data;
  size_t length;
  size_t capacity;
} JsonText;

void JsonAppend(JsonText* text, const wchar_t* piece);
/* Appends a formatted piece (swprintf rules, at most 255 characters). */
void JsonAppendFormat(JsonText* text, const wchar_t* format, ...);
/* Appends a quoted JSON string: quote, backslash and control characters escaped, every other
   character kept as it is (it becomes UTF-8 when the record is written). */
void JsonAppendString(JsonText* text, const wchar_t* value);
void JsonFree(JsonText* text);

#endif
