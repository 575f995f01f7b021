/* msi_query: asks Windows Installer about installed products, for tests that check what a
   run left installed. Queries may be chained on one command line:

   msi_query.exe product CODE           -> "product CODE state N" and
                                           "product CODE version TEXT" (or "version-error N")
   msi_query.exe related UPGRADECODE    -> "related UPGRADECODE CODE" per related product,
                                           then "related UPGRADECODE count N"
   msi_query.exe feature CODE NAME      -> "feature CODE NAME state N"

   Output is UTF-8 on standard output, one fact per line. Exit code 0, or 1 for bad usage. */
/* msi.h needs the types of windows.h first. */
// clang-format off
#include <windows.h>
#include <msi.h>
// clang-format on
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include "tool_io.h"

static void Print(const wchar_t* format, ...) {
  wchar_t line[512];
  va_list arguments;
  va_start(arguments, format);
  vswprintf(line, 512, format, arguments);
  va_end(arguments);
  PrintUtf8(line);
}

static void QueryProduct(const wchar_t* code) {
  Print(L"product %ls state %d\n", code, (int)MsiQueryProductStateW(code));
  wchar_t version[256] = L"";
  DWORD size = 256;
  UINT result = MsiGetProductInfoW(code, L"VersionString", version, &size);
  if (result == ERROR_SUCCESS) {
    Print(L"product %ls version %ls\n", code, version);
  } else {
    Print(L"product %ls version-error %u\n", code, result);
  }
}

static void QueryRelated(const wchar_t* upgradeCode) {
  DWORD index = 0;
  wchar_t product[39];
  while (MsiEnumRelatedProductsW(upgradeCode, 0, index, product) == ERROR_SUCCESS) {
    Print(L"related %ls %ls\n", upgradeCode, product);
    ++index;
  }
  Print(L"related %ls count %lu\n", upgradeCode, (unsigned long)index);
}

static void QueryFeature(const wchar_t* code, const wchar_t* feature) {
  Print(L"feature %ls %ls state %d\n", code, feature, (int)MsiQueryFeatureStateW(code, feature));
}

int wmain(int argc, wchar_t** argv) {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
  for (int i = 1; i < argc;) {
    const wchar_t* query = argv[i];
    if (wcscmp(query, L"product") == 0 && i + 1 < argc) {
      QueryProduct(argv[i + 1]);
      i += 2;
    } else if (wcscmp(query, L"related") == 0 && i + 1 < argc) {
      QueryRelated(argv[i + 1]);
      i += 2;
    } else if (wcscmp(query, L"feature") == 0 && i + 2 < argc) {
      QueryFeature(argv[i + 1], argv[i + 2]);
      i += 3;
    } else {
      fwprintf(stderr, L"msi_query: bad query at \"%ls\"\n", query);
      return 1;
    }
  }
  return 0;
}
