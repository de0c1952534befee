// Keeps one Wine session alive for a whole test run.
//
// Wine starts its desktop process (explorer.exe) for the first program that needs a desktop
// and ends it when the last program has ended. Started by a test, it would inherit that
// test's output pipe and keep the test runner waiting; started here first, with no output,
// it serves every test. Usage: wine_session.exe READY-FILE; the file appears once the
// desktop exists. Ends when the Wine server is stopped.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  (void)::GetDesktopWindow();
  HANDLE ready = ::CreateFileW(commandLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) (void)::CloseHandle(ready);
  ::Sleep(INFINITE);
  return 0;
}
