// A DLL named after a system library that the system does not keep loaded, placed beside
// quorvant.exe by someone who can write to its folder, is never loaded: the program takes that
// library from the system folder only, and still answers a screen reader through it.

#include <windows.h>

#include <oleacc.h>

#include <cstdio>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"
#include "tests/e2e/titled_windows_driver.h"
#include "tests/support/child_process.h"

namespace quorvant::e2e {
namespace {

using testing_support::ChildProcess;

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The planted library and what it leaves when loaded, removed before the folder is.
struct Planted {
  std::wstring library;
  std::wstring marker;
  explicit Planted(const AppFolder& folder)
      : library(folder.Path() + L"\\oleacc.dll"),
        marker(folder.Path() + L"\\planted-library-loaded") {}
  ~Planted() {
    (void)::DeleteFileW(library.c_str());
    (void)::DeleteFileW(marker.c_str());
  }
};

// Wine prefers its own built-in library to a DLL of the same name beside a program, which
// Windows does not. Told to prefer a native one for this program, as Windows always does,
// Wine loads whichever DLL of that name the program's search finds first. No such key is
// read on Windows.
struct PreferNativeLibrary {
  static constexpr const wchar_t* kApp = L"Software\\Wine\\AppDefaults\\quorvant.exe";
  static constexpr const wchar_t* kOverrides =
      L"Software\\Wine\\AppDefaults\\quorvant.exe\\DllOverrides";
  PreferNativeLibrary() {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    const wchar_t order[] = L"native,builtin";
    (void)::RegSetValueExW(key, L"oleacc", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                           sizeof(order));
    (void)::RegCloseKey(key);
  }
  ~PreferNativeLibrary() {
    (void)::RegDeleteKeyValueW(HKEY_CURRENT_USER, kOverrides, L"oleacc");
    // Only when nothing else is kept there.
    (void)::RegDeleteKeyW(HKEY_CURRENT_USER, kOverrides);
    (void)::RegDeleteKeyW(HKEY_CURRENT_USER, kApp);
  }
};

TEST(PlantedLibraryTest, ALibraryPlantedBesideTheProgramIsNeverLoaded) {
  AppFolder folder;
  Planted planted(folder);
  ASSERT_TRUE(
      ::CopyFileW((BinFolder() + L"\\planted\\oleacc.dll").c_str(), planted.library.c_str(), FALSE))
      << ::GetLastError();
  PreferNativeLibrary preferNative;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w)) << "the program starts";

  // A reader in another process asks a button the program draws for its object: the program
  // builds it with the library, which it loads now if it has not yet. Only the program's own
  // object is a push button; the system's stand-in for an unknown window is a client area.
  wchar_t hex[32];
  (void)swprintf(hex, 32, L"%llx",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w.refresh)));
  ChildProcess probe(BinFolder() + L"\\accessible_probe.exe",
                     std::wstring(L"accessible_probe.exe ") + hex, true);
  std::string line;
  char buffer[512];
  DWORD got = 0;
  while (::ReadFile(probe.Pipe(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    line.append(buffer, got);
  }
  EXPECT_NE(line.find("role=" + std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " "), std::string::npos)
      << "the program's own object: " << line;

  EXPECT_FALSE(Exists(planted.marker)) << "the planted library ran in the program";
}

}  // namespace
}  // namespace quorvant::e2e
