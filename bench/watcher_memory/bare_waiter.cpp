// The floor of the watcher's memory: a console program that does nothing but wait, built
// with the same static runtime.
#include <windows.h>

int wmain() {
  ::Sleep(INFINITE);
  return 0;
}
