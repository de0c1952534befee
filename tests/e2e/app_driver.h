#pragma once

// Launches a private copy of quorvant.exe and looks at it from outside, as a user's
// tools would: its windows, its Config.ini, its registry value.

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/win32/unique_handle.h"

namespace quorvant::e2e {

// Waits until condition() holds or the deadline passes; returns the last answer.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(10));

// A fresh folder (its path holds a space) with quorvant.exe and ico.ico copied into it.
class AppFolder {
 public:
  AppFolder();
  AppFolder(const AppFolder&) = delete;
  AppFolder& operator=(const AppFolder&) = delete;
  ~AppFolder();

  const std::wstring& Path() const { return path_; }
  std::wstring Exe() const { return path_ + L"\\quorvant.exe"; }
  std::wstring ConfigIni() const { return path_ + L"\\Config.ini"; }
  void WriteConfig(const std::wstring& section, const std::wstring& key,
                   const std::wstring& value) const;
  std::wstring ReadConfig(const std::wstring& section, const std::wstring& key) const;
  std::string ConfigBytes() const;
  // The program's live effects on disk: in the user's local application data, one file per
  // logon session, wherever the program is. Its copy in the program's folder is never read.
  std::wstring LedgerFile() const;
  std::wstring PlantedLedgerFile() const { return path_ + L"\\Effects.txt"; }

 private:
  std::wstring path_;
};

// The watcher quorvant.exe started (its child of the same name), opened with access; null
// when none shows within the deadline.
win32::unique_handle WatcherOf(DWORD program, DWORD access);

class AppProcess {
 public:
  // arguments follow the quoted program name on its command line.
  explicit AppProcess(const std::wstring& exe, const std::wstring& arguments = {});
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;
  ~AppProcess();  // ends the process if it still runs

  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;
  // Ends it from outside as Task Manager's "End task" does, and waits until it has gone.
  void Kill() const;
  HANDLE Handle() const { return info_.hProcess; }
  // Waits for the end of the process; false on time-out.
  bool WaitForExit(std::chrono::milliseconds deadline, DWORD* exitCode = nullptr) const;
  void WaitForIdle() const;
  // A top-level window of this process with the given class (and caption, when not null).
  HWND FindTopLevel(const wchar_t* className, const wchar_t* caption = nullptr) const;
  HWND MainWindow() const { return FindTopLevel(L"FormQuorvant"); }

 private:
  PROCESS_INFORMATION info_{};
};

// A list view of another process, read and driven from outside. List-view messages that
// carry pointers are not carried across processes, so the item and its text buffer are
// placed in that process's memory.
class RemoteListView {
 public:
  RemoteListView(HWND list, DWORD processId);
  RemoteListView(const RemoteListView&) = delete;
  RemoteListView& operator=(const RemoteListView&) = delete;
  ~RemoteListView();

  bool Ready() const { return remote_ != nullptr; }
  int Count() const;
  std::wstring Text(int row, int column) const;
  // The row's image-list index; I_IMAGENONE when it shows no icon.
  int Image(int row) const;
  void Select(int row) const;

 private:
  static constexpr int kTextChars = 512;
  bool WriteItem(const LVITEMW& item) const;

  HWND list_;
  HANDLE process_;
  void* remote_ = nullptr;
};

// The status panel of the program's main window: the panel that holds the graph.
HWND FindStatusPanel(HWND main);

// What accessible_probe.exe (beside this program) prints for args, read from its standard
// output; empty, with a line on stderr, when it cannot be started.
std::wstring AccessibleProbe(const std::wstring& args);

// Selects the panel of the navigation entry named entry (such as "3 - Speed up memory") as a
// screen reader does, by the entry's default action, and waits until that panel is on screen;
// the panel, or null when it never showed. Its figures are current once it shows.
HWND SelectPanel(HWND main, const std::wstring& entry);

// Child windows of parent, at any depth, whose text equals text.
HWND FindDescendantByText(HWND parent, const std::wstring& text);
std::wstring WindowText(HWND hwnd);

// The Run value "Quorvant" under root, or empty when there is none.
std::wstring ReadRunValue(HKEY root);
void DeleteRunValue(HKEY root);

}  // namespace quorvant::e2e
