// A DLL someone could place beside quorvant.exe under the name of a system library that is not
// one the system keeps loaded. Loaded into a process, it leaves the file
// "planted-library-loaded" in its own folder. It exports what the program would take from the
// real library, so that a program importing it would start and show the fault, not fail.
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self) {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  DWORD folder = n;
  while (folder > 0 && path[folder - 1] != L'\\') --folder;
  const wchar_t name[] = L"planted-library-loaded";
  if (folder + sizeof(name) / sizeof(name[0]) > MAX_PATH) return;
  for (size_t i = 0; i < sizeof(name) / sizeof(name[0]); ++i) path[folder + i] = name[i];
  const HANDLE file =
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) (void)::CloseHandle(file);
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI
    AccessibleObjectFromWindow(HWND, DWORD, const GUID*, void** out) {
  if (out) *out = nullptr;
  return E_FAIL;
}

__declspec(dllexport) LRESULT WINAPI LresultFromObject(const GUID*, WPARAM, IUnknown*) { return 0; }

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
  return TRUE;
}
