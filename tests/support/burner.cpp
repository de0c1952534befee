// Burns one core until it is ended, after printing the id of its Linux process on its first
// line, so that a test can read the CPU time it really gets from /proc while another
// program limits it. The parent names it with a token of its own on the command line; the
// Linux process whose first argument is this program and that holds the token is this one
// (/proc/self would be resolved by the Wine server, not here).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ReadAll(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  (void)::CloseHandle(file);
  return text;
}

unsigned long FindSelf(const std::wstring& token) {
  const std::string wanted(token.begin(), token.end());
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  unsigned long self = 0;
  do {
    const unsigned long pid = std::wcstoul(found.cFileName, nullptr, 10);
    if (pid == 0) continue;
    const std::string cmdline =
        ReadAll(L"Z:\\proc\\" + std::wstring(found.cFileName) + L"\\cmdline");
    const std::string first = cmdline.substr(0, cmdline.find('\0'));
    if (first.find("burner.exe") != std::string::npos &&
        cmdline.find(wanted) != std::string::npos) {
      self = pid;
    }
  } while (!self && ::FindNextFileW(search, &found));
  (void)::FindClose(search);
  return self;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const unsigned long self = argc > 1 ? FindSelf(argv[1]) : 0;
  std::printf("%lu\n", self);
  std::fflush(stdout);
  volatile unsigned long long spin = 0;
  for (;;) spin = spin + 1;
}
