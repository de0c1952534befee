#include "tests/e2e/app_driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace quorvant::e2e {

namespace {

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\'));
}

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

win32::unique_handle WatcherOf(DWORD program, DWORD access) {
  win32::unique_handle found;
  (void)WaitFor([&] {
    const win32::unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
      if (entry.th32ParentProcessID == program && _wcsicmp(entry.szExeFile, L"quorvant.exe") == 0) {
        found.reset(::OpenProcess(access, FALSE, entry.th32ProcessID));
        return static_cast<bool>(found);
      }
    }
    return false;
  });
  return found;
}

AppFolder::AppFolder() {
  wchar_t temp[MAX_PATH];
  (void)::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  path_ = std::wstring(temp) + L"quorvant e2e " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  (void)::CreateDirectoryW(path_.c_str(), nullptr);
  const std::wstring from = ModuleFolder();
  (void)::CopyFileW((from + L"\\quorvant.exe").c_str(), Exe().c_str(), FALSE);
  (void)::CopyFileW((from + L"\\ico.ico").c_str(), (path_ + L"\\ico.ico").c_str(), FALSE);
  const std::wstring ledger = LedgerFile();
  (void)::CreateDirectoryW(ledger.substr(0, ledger.find_last_of(L'\\')).c_str(), nullptr);
}

AppFolder::~AppFolder() {
  // The program's watcher may hold the executable a moment after the program has ended.
  (void)WaitFor(
      [&] { return ::DeleteFileW(Exe().c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; },
      std::chrono::seconds(5));
  for (const wchar_t* name : {L"\\ico.ico", L"\\Config.ini", L"\\Effects.txt"}) {
    (void)::DeleteFileW((path_ + name).c_str());
  }
  (void)::DeleteFileW(LedgerFile().c_str());
  (void)::RemoveDirectoryW(path_.c_str());
}

std::wstring AppFolder::LedgerFile() const {
  wchar_t local[MAX_PATH]{};
  (void)::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  DWORD session = 0;
  (void)::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  return std::wstring(local) + L"\\Quorvant\\Effects." + std::to_wstring(session) + L".txt";
}

void AppFolder::WriteConfig(const std::wstring& section, const std::wstring& key,
                            const std::wstring& value) const {
  (void)::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                     ConfigIni().c_str());
}

std::wstring AppFolder::ReadConfig(const std::wstring& section, const std::wstring& key) const {
  wchar_t buffer[256] = {};
  (void)::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"<missing>", buffer, 256,
                                   ConfigIni().c_str());
  return buffer;
}

std::string AppFolder::ConfigBytes() const {
  std::ifstream in(std::filesystem::path(ConfigIni()), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

AppProcess::AppProcess(const std::wstring& exe, const std::wstring& arguments) {
  // NUL for the standard handles: the program passes its own to the watcher it starts, and a
  // watcher that outlived its test would otherwise keep the test runner's output open.
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  const win32::unique_hfile nowhere(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                  OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere.get();
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  (void)::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         nullptr, &startup, &info_);
}

AppProcess::~AppProcess() {
  if (Running()) {
    (void)::TerminateProcess(info_.hProcess, 0);
    (void)::WaitForSingleObject(info_.hProcess, 5000);
  }
  if (info_.hThread) (void)::CloseHandle(info_.hThread);
  if (info_.hProcess) (void)::CloseHandle(info_.hProcess);
}

void AppProcess::Kill() const {
  if (!Running()) return;
  (void)::TerminateProcess(info_.hProcess, 1);
  (void)::WaitForSingleObject(info_.hProcess, 5000);
}

bool AppProcess::Running() const {
  return info_.hProcess && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool AppProcess::WaitForExit(std::chrono::milliseconds deadline, DWORD* exitCode) const {
  if (::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(deadline.count())) !=
      WAIT_OBJECT_0) {
    return false;
  }
  if (exitCode) (void)::GetExitCodeProcess(info_.hProcess, exitCode);
  return true;
}

void AppProcess::WaitForIdle() const { (void)::WaitForInputIdle(info_.hProcess, 10000); }

HWND AppProcess::FindTopLevel(const wchar_t* className, const wchar_t* caption) const {
  HWND found = nullptr;
  HWND candidate = nullptr;
  while ((candidate = ::FindWindowExW(nullptr, candidate, className, caption)) != nullptr) {
    DWORD pid = 0;
    (void)::GetWindowThreadProcessId(candidate, &pid);
    if (pid == info_.dwProcessId) {
      found = candidate;
      break;
    }
  }
  return found;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[512] = {};
  (void)::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                              5000, nullptr);
  return text;
}

RemoteListView::RemoteListView(HWND list, DWORD processId)
    : list_(list),
      process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             processId)) {
  if (process_) {
    remote_ = ::VirtualAllocEx(process_, nullptr, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t),
                               MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
}

RemoteListView::~RemoteListView() {
  if (remote_) (void)::VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_) (void)::CloseHandle(process_);
}

int RemoteListView::Count() const {
  DWORD_PTR count = 0;
  (void)::SendMessageTimeoutW(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_BLOCK, 5000, &count);
  return static_cast<int>(count);
}

bool RemoteListView::WriteItem(const LVITEMW& item) const {
  return ::WriteProcessMemory(process_, remote_, &item, sizeof(item), nullptr) != FALSE;
}

std::wstring RemoteListView::Text(int row, int column) const {
  auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote_) + sizeof(LVITEMW));
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = remoteText;
  item.cchTextMax = kTextChars;
  if (!WriteItem(item)) return L"<unwritable>";
  DWORD_PTR length = 0;
  (void)::SendMessageTimeoutW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote_),
                              SMTO_BLOCK, 5000, &length);
  std::wstring text(kTextChars, L'\0');
  if (!::ReadProcessMemory(process_, remoteText, text.data(), text.size() * sizeof(wchar_t),
                           nullptr)) {
    return L"<unreadable>";
  }
  text.resize(std::min<size_t>(length, kTextChars - 1));
  return text;
}

int RemoteListView::Image(int row) const {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  if (!WriteItem(item)) return I_IMAGENONE;
  DWORD_PTR ok = 0;
  (void)::SendMessageTimeoutW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote_), SMTO_BLOCK,
                              5000, &ok);
  LVITEMW answer{};
  if (!ok || !::ReadProcessMemory(process_, remote_, &answer, sizeof(answer), nullptr)) {
    return I_IMAGENONE;
  }
  return answer.iImage;
}

void RemoteListView::Select(int row) const {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!WriteItem(item)) return;
  DWORD_PTR ignored = 0;
  (void)::SendMessageTimeoutW(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote_),
                              SMTO_BLOCK, 5000, &ignored);
}

HWND FindStatusPanel(HWND main) {
  for (HWND p = nullptr; (p = ::FindWindowExW(main, p, L"QuorvantPanel", nullptr)) != nullptr;) {
    if (::FindWindowExW(p, nullptr, L"QuorvantCpuMonitor", nullptr)) return p;
  }
  return nullptr;
}

std::wstring AccessibleProbe(const std::wstring& args) {
  const std::wstring exe = ModuleFolder() + L"\\accessible_probe.exe";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!::CreatePipe(&read, &write, &inherit, 0)) return {};
  (void)::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write;
  PROCESS_INFORMATION info{};
  std::wstring command = L"accessible_probe.exe " + args;
  const BOOL started = ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  const DWORD startError = ::GetLastError();
  (void)::CloseHandle(write);
  std::string output;
  if (started) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got > 0)
      output.append(buffer, got);
    (void)::WaitForSingleObject(info.hProcess, 30000);
    (void)::CloseHandle(info.hProcess);
    (void)::CloseHandle(info.hThread);
  } else {
    std::fprintf(stderr, "accessible_probe.exe could not start: error %lu\n", startError);
  }
  (void)::CloseHandle(read);
  const int size =
      ::MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  (void)::MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()),
                              wide.data(), size);
  return wide;
}

HWND SelectPanel(HWND main, const std::wstring& entry) {
  // The panel window bears its entry's name.
  const HWND panel = ::FindWindowExW(main, nullptr, L"QuorvantPanel", entry.c_str());
  if (!panel) return nullptr;
  wchar_t hex[32];
  (void)std::swprintf(hex, 32, L"%llx",
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(main)));
  const std::wstring answer =
      AccessibleProbe(L"--do-named " + std::wstring(hex) + L" \"" + entry + L"\"");
  if (answer.find(L"hr=0x00000000") == std::wstring::npos) {
    std::fprintf(stderr, "the default action of \"%ls\": %ls\n", entry.c_str(), answer.c_str());
    return nullptr;
  }
  return WaitFor([&] { return ::IsWindowVisible(panel) != FALSE; }) ? panel : nullptr;
}

HWND FindDescendantByText(HWND parent, const std::wstring& text) {
  struct Search {
    const std::wstring* text;
    HWND found;
  } search{&text, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (WindowText(child) == *s->text) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ReadRunValue(HKEY root) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof(data);
  if (::RegGetValueW(root, kRunKey, L"Quorvant", RRF_RT_REG_SZ, nullptr, data, &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  return data;
}

void DeleteRunValue(HKEY root) { (void)::RegDeleteKeyValueW(root, kRunKey, L"Quorvant"); }

}  // namespace quorvant::e2e
