#include "target_processes.h"

#include <tlhelp32.h>
#include <wchar.h>

#define MAX_SNAPSHOT 1024

typedef struct {
  DWORD id;
  DWORD parent;
  wchar_t name[MAX_PATH];
} ProcessEntry;

static int TakeSnapshot(ProcessEntry* entries) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {.dwSize = sizeof(entry)};
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && count < MAX_SNAPSHOT;
       more = Process32NextW(snapshot, &entry)) {
    entries[count].id = entry.th32ProcessID;
    entries[count].parent = entry.th32ParentProcessID;
    wcsncpy(entries[count].name, entry.szExeFile, MAX_PATH - 1);
    entries[count].name[MAX_PATH - 1] = L'\0';
    ++count;
  }
  CloseHandle(snapshot);
  return count;
}

static void AddProcess(ProcessSet* set, const ProcessEntry* entry) {
  if (set->count >= MAX_TARGET_PROCESSES) return;
  set->ids[set->count] = entry->id;
  wcscpy(set->names[set->count], entry->name);
  ++set->count;
}

void CollectTargetProcesses(DWORD root, ProcessSet* set) {
  static ProcessEntry entries[MAX_SNAPSHOT];
  int count = TakeSnapshot(entries);
  set->count = 0;
  for (int i = 0; i < count; ++i) {
    if (entries[i].id == root) AddProcess(set, &entries[i]);
  }
  /* Each pass adds the children of processes already in the set. */
  for (BOOL grew = set->count > 0; grew;) {
    grew = FALSE;
    for (int i = 0; i < count; ++i) {
      if (TargetProcessName(set, entries[i].id)) continue;
      if (!TargetProcessName(set, entries[i].parent)) continue;
      AddProcess(set, &entries[i]);
      grew = TRUE;
    }
  }
}

const wchar_t* TargetProcessName(const ProcessSet* set, DWORD id) {
  for (int i = 0; i < set->count; ++i) {
    if (set->ids[i] == id) return set->names[i];
  }
  return NULL;
}
