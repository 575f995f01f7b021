/* The processes whose windows the box driver answers: the target and its descendants. */
#ifndef TARGET_PROCESSES_H
#define TARGET_PROCESSES_H

#include <windows.h>

#define MAX_TARGET_PROCESSES 128

typedef struct {
  int count;
  DWORD ids[MAX_TARGET_PROCESSES];
  wchar_t names[MAX_TARGET_PROCESSES][MAX_PATH];
} ProcessSet;

/* Fills `set` with `root` (when it still runs) and every process descended from it. */
void CollectTargetProcesses(DWORD root, ProcessSet* set);

/* The executable name of a process of the set, or NULL when it is not in the set. */
const wchar_t* TargetProcessName(const ProcessSet* set, DWORD id);

#endif
