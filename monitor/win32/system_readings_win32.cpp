#include "monitor/win32/system_readings_win32.h"

#include <string>

#include "skin/product.h"

namespace quorvant::win32 {

namespace {

// The information classes of NtQuerySystemInformation the CPU level needs.
constexpr ULONG kSystemBasicInformation = 0;
constexpr ULONG kSystemPerformanceInformation = 2;
constexpr ULONG kSystemTimeOfDayInformation = 3;

// The documented layouts. Their sizes differ between 32- and 64-bit builds, and the system
// refuses a buffer of the other build's size, so they are declared rather than counted.
struct SystemBasicInformation {
  BYTE reserved1[24];
  PVOID reserved2[4];
  CCHAR numberOfProcessors;
};
static_assert(sizeof(SystemBasicInformation) == (sizeof(void*) == 8 ? 64 : 44));

struct SystemTimeOfDayInformation {
  LARGE_INTEGER bootTime;
  LARGE_INTEGER currentTime;
  BYTE reserved[32];
};
static_assert(sizeof(SystemTimeOfDayInformation) == 48);

struct SystemPerformanceInformation {
  LARGE_INTEGER idleTime;
  BYTE reserved[304];
};
static_assert(sizeof(SystemPerformanceInformation) == 312);

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                           PULARGE_INTEGER);

template <typename Fn>
Fn LookUp(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  if (!handle) return nullptr;
  // Through a plain function pointer: the documented way to give GetProcAddress's result
  // its real type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(handle, name)));
}

template <typename Info>
std::optional<Info> QuerySystem(ULONG infoClass) {
  static const auto query =
      LookUp<NtQuerySystemInformationFn>(L"ntdll.dll", "NtQuerySystemInformation");
  if (!query) return std::nullopt;
  Info info{};
  if (query(infoClass, &info, sizeof(info), nullptr) != 0) return std::nullopt;
  return info;
}

// The performance counters under HKEY_DYN_DATA, read where NT's CPU times are missing.
constexpr wchar_t kStartStat[] = L"PerfStats\\StartStat";
constexpr wchar_t kStatData[] = L"PerfStats\\StatData";
constexpr wchar_t kStopStat[] = L"PerfStats\\StopStat";
constexpr wchar_t kCpuUsage[] = L"KERNEL\\CPUUsage";

std::optional<std::uint32_t> QueryCpuUsage(HKEY key) {
  DWORD value = 0;
  DWORD length = sizeof(value);
  DWORD type = 0;
  if (::RegQueryValueExW(key, kCpuUsage, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &length) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

unique_hkey OpenDynData(const wchar_t* path, REGSAM access) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_DYN_DATA, path, 0, access, &key) != ERROR_SUCCESS) return {};
  return unique_hkey(key);
}

constexpr wchar_t kApplicationTitle[] = QUORVANT_PRODUCT_NAME_W;

std::wstring LocaleText(LCTYPE type, std::wstring_view whenMissing) {
  constexpr int kLocaleTextMax = 16;  // the system allows 4 characters for either separator
  wchar_t buffer[kLocaleTextMax] = {};
  const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, kLocaleTextMax);
  if (length <= 0) return std::wstring(whenMissing);
  return std::wstring(buffer, static_cast<std::size_t>(length - 1));
}

}  // namespace

std::uint32_t PlatformSystemReadings::PlatformId() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, but the platform identifier is all it gives
#endif
  (void)::GetVersionExW(&info);
  return info.dwPlatformId;
}

std::optional<unsigned> PlatformSystemReadings::NumberOfProcessors() {
  const auto info = QuerySystem<SystemBasicInformation>(kSystemBasicInformation);
  if (!info) return std::nullopt;
  return static_cast<unsigned char>(info->numberOfProcessors);
}

std::optional<std::int64_t> PlatformSystemReadings::CurrentTime() {
  const auto info = QuerySystem<SystemTimeOfDayInformation>(kSystemTimeOfDayInformation);
  if (!info) return std::nullopt;
  return info->currentTime.QuadPart;
}

std::optional<std::int64_t> PlatformSystemReadings::IdleTime() {
  const auto info = QuerySystem<SystemPerformanceInformation>(kSystemPerformanceInformation);
  if (!info) return std::nullopt;
  return info->idleTime.QuadPart;
}

void PlatformSystemReadings::StartWin9xCounter() {
  {
    const unique_hkey start = OpenDynData(kStartStat, KEY_ALL_ACCESS);
    if (!start) return;
    (void)QueryCpuUsage(start.get());
  }
  statData_ = OpenDynData(kStatData, KEY_READ);
}

std::optional<std::uint32_t> PlatformSystemReadings::QueryWin9xCpuUsage() {
  if (!statData_) return std::nullopt;
  return QueryCpuUsage(statData_.get());
}

void PlatformSystemReadings::StopWin9xCounter() {
  statData_.reset();
  // Reading the value once through the stop key stops the counter.
  const unique_hkey stop = OpenDynData(kStopStat, KEY_ALL_ACCESS);
  if (stop) (void)QueryCpuUsage(stop.get());
}

void PlatformSystemReadings::ShowMessage(std::wstring_view text) {
  const std::wstring message(text);
  (void)::MessageBoxW(nullptr, message.c_str(), kApplicationTitle, MB_OK);
}

std::optional<MemoryStatus> PlatformSystemReadings::GlobalMemoryStatus() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!::GlobalMemoryStatusEx(&status)) return std::nullopt;
  return MemoryStatus{status.dwMemoryLoad,     status.ullTotalPhys,     status.ullAvailPhys,
                      status.ullTotalPageFile, status.ullAvailPageFile, status.ullTotalVirtual,
                      status.ullAvailVirtual};
}

DiskSpaceEx PlatformSystemReadings::DiskFreeSpaceEx(std::wstring_view path) {
  const auto getDiskFreeSpaceEx =
      LookUp<GetDiskFreeSpaceExFn>(L"kernel32.dll", "GetDiskFreeSpaceExW");
  DiskSpaceEx reading;
  if (!getDiskFreeSpaceEx) {
    reading.status = PlatformCall::kMissing;
    return reading;
  }
  const std::wstring root(path);
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!getDiskFreeSpaceEx(root.c_str(), &available, &total, &totalFree)) return reading;
  reading.status = PlatformCall::kSucceeded;
  reading.freeBytesAvailable = available.QuadPart;
  reading.totalBytes = total.QuadPart;
  reading.totalFreeBytes = totalFree.QuadPart;
  return reading;
}

std::optional<DiskClusters> PlatformSystemReadings::DiskFreeSpace(std::wstring_view path) {
  const std::wstring root(path);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
    return std::nullopt;
  }
  return DiskClusters{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
}

std::wstring PlatformSystemReadings::WindowsDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  UINT length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {  // too small: the answer is the size needed
    buffer.assign(length, L'\0');
    length = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) return {};
  }
  buffer.resize(length);
  return buffer;
}

NumberSymbols PlatformSystemReadings::UserNumberSymbols() {
  const NumberSymbols fallback;
  return {LocaleText(LOCALE_STHOUSAND, fallback.groupSeparator),
          LocaleText(LOCALE_SDECIMAL, fallback.decimalSeparator)};
}

ModuleCpuMonitorSupport& ProcessCpuMonitorSupport() {
  static PlatformSystemReadings platform;
  static ModuleCpuMonitorSupport support(platform);
  return support;
}

}  // namespace quorvant::win32
