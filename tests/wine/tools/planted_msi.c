/* planted_msi: a DLL named msi.dll, as someone might plant it beside a program that uses
   Windows Installer. It does nothing but leave a trace: whichever process loads it appends
   a line with its own executable path to C:\planted-loaded.txt. A test lays it beside the
   bootstrapper and checks afterwards that the file does not exist. It exports nothing, so
   a program that took it would also fail to find any Msi* function. */
#include <windows.h>

#define MARKER_FILE L"C:\\planted-loaded.txt"

static void AppendLoaderToMarker(void) {
  wchar_t process[MAX_PATH + 1] = L"";
  GetModuleFileNameW(NULL, process, MAX_PATH);
  char line[4 * MAX_PATH + 3];
  int length = WideCharToMultiByte(CP_UTF8, 0, process, -1, line, 4 * MAX_PATH, NULL, NULL);
  if (length <= 0) length = 1;
  line[length - 1] = '\r';
  line[length] = '\n';
  HANDLE marker = CreateFileW(MARKER_FILE, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(marker, line, (DWORD)length + 1, &written, NULL);
  CloseHandle(marker);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) AppendLoaderToMarker();
  return TRUE;
}
