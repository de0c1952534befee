#include "engine/win32/system_process_walk.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvant::win32 {

namespace {

using NtStatus = LONG;
using QuerySystemInformationFn = NtStatus(NTAPI*)(ULONG infoClass, PVOID buffer, ULONG length,
                                                  PULONG returned);

constexpr ULONG kSystemProcessInformation = 5;
constexpr NtStatus kStatusInfoLengthMismatch = static_cast<NtStatus>(0xC0000004L);

// The head of one process's record in the table, laid out as the system has written it since
// its first version (the threads' records follow it, reached by nothing here). Declared here
// in full because the SDK's header names the creation and processor times and the parent id
// only as reserved bytes; the offsets are checked below.
struct CountedText {
  USHORT length;  // in bytes, without a terminating NUL
  USHORT maximumLength;
  PWSTR buffer;
};
struct ProcessRecord {
  ULONG nextEntryOffset;  // 0 on the last record
  ULONG numberOfThreads;
  std::int64_t workingSetPrivateSize;
  ULONG hardFaultCount;
  ULONG numberOfThreadsHighWatermark;
  std::uint64_t cycleTime;
  std::int64_t createTime;
  std::int64_t userTime;
  std::int64_t kernelTime;
  CountedText imageName;
  LONG basePriority;
  HANDLE uniqueProcessId;
  HANDLE inheritedFromUniqueProcessId;
  ULONG handleCount;
  ULONG sessionId;
};
#if defined(_WIN64)
static_assert(offsetof(ProcessRecord, createTime) == 0x20);
static_assert(offsetof(ProcessRecord, userTime) == 0x28);
static_assert(offsetof(ProcessRecord, kernelTime) == 0x30);
static_assert(offsetof(ProcessRecord, imageName) == 0x38);
static_assert(offsetof(ProcessRecord, uniqueProcessId) == 0x50);
static_assert(offsetof(ProcessRecord, inheritedFromUniqueProcessId) == 0x58);
static_assert(offsetof(ProcessRecord, sessionId) == 0x64);
#else
static_assert(offsetof(ProcessRecord, imageName) == 0x38);
static_assert(offsetof(ProcessRecord, uniqueProcessId) == 0x44);
static_assert(offsetof(ProcessRecord, sessionId) == 0x50);
#endif

QuerySystemInformationFn FindQuery() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return nullptr;
  return reinterpret_cast<QuerySystemInformationFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
}

std::uint32_t IdOf(HANDLE value) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
}

// Reads the records out of a filled table; empty when a record points outside it.
std::optional<std::vector<engine::SystemProcess>> ReadTable(const std::byte* table,
                                                            std::size_t size) {
  std::vector<engine::SystemProcess> processes;
  std::size_t at = 0;
  for (;;) {
    if (size < sizeof(ProcessRecord) || at > size - sizeof(ProcessRecord)) return std::nullopt;
    ProcessRecord record;
    std::memcpy(&record, table + at, sizeof(record));
    engine::SystemProcess process;
    process.id = IdOf(record.uniqueProcessId);
    process.parentId = IdOf(record.inheritedFromUniqueProcessId);
    process.sessionId = record.sessionId;
    process.started = static_cast<std::uint64_t>(record.createTime);
    process.cpuTime =
        static_cast<std::uint64_t>(record.userTime) + static_cast<std::uint64_t>(record.kernelTime);
    const auto* name = reinterpret_cast<const std::byte*>(record.imageName.buffer);
    const std::size_t nameBytes = record.imageName.length;
    // The name lies in the same table; one that does not is not trusted.
    if (name && nameBytes > 0 && name >= table && name + nameBytes <= table + size) {
      process.imageName.resize(nameBytes / sizeof(wchar_t));
      std::memcpy(process.imageName.data(), name, process.imageName.size() * sizeof(wchar_t));
    }
    processes.push_back(std::move(process));
    if (record.nextEntryOffset == 0) return processes;
    at += record.nextEntryOffset;
  }
}

}  // namespace

std::optional<std::vector<engine::SystemProcess>> WalkSystemProcesses() {
  const QuerySystemInformationFn query = FindQuery();
  if (!query) return std::nullopt;
  // Processes start between the call that measures and the call that fills, so the table is
  // given some room to grow and asked for again while it still does not fit.
  constexpr int kTries = 8;
  constexpr ULONG kHeadroom = 16 * 1024;
  ULONG length = 256 * 1024;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    // Whole 8-byte words, so the records and their 64-bit fields are aligned.
    std::vector<std::uint64_t> table((length + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    const ULONG capacity = static_cast<ULONG>(table.size() * sizeof(std::uint64_t));
    ULONG needed = 0;
    const NtStatus status = query(kSystemProcessInformation, table.data(), capacity, &needed);
    if (status == kStatusInfoLengthMismatch) {
      length = (needed > capacity ? needed : capacity * 2) + kHeadroom;
      continue;
    }
    if (status < 0) return std::nullopt;
    return ReadTable(reinterpret_cast<const std::byte*>(table.data()), capacity);
  }
  return std::nullopt;
}

}  // namespace quorvant::win32
