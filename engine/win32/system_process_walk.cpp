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

// Reads the records out of a filled table into processes, whose strings are reused; false
// when a record points outside the table.
bool ReadTable(const std::byte* table, std::size_t size,
               std::vector<engine::SystemProcess>& processes) {
  std::size_t count = 0;
  std::size_t at = 0;
  for (;;) {
    if (size < sizeof(ProcessRecord) || at > size - sizeof(ProcessRecord)) return false;
    ProcessRecord record;
    std::memcpy(&record, table + at, sizeof(record));
    if (count == processes.size()) processes.emplace_back();
    engine::SystemProcess& process = processes[count++];
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
    } else {
      process.imageName.clear();
    }
    if (record.nextEntryOffset == 0) {
      processes.resize(count);
      return true;
    }
    at += record.nextEntryOffset;
  }
}

// Fills table (grown as needed, never shrunk) with the system's process table and reads it
// into processes; false when the system does not offer that read or refuses it.
bool WalkInto(std::vector<std::uint64_t>& table, std::vector<engine::SystemProcess>& processes) {
  const QuerySystemInformationFn query = FindQuery();
  if (!query) return false;
  // Processes start between the call that measures and the call that fills, so the table is
  // given some room to grow and asked for again while it still does not fit.
  constexpr int kTries = 8;
  constexpr ULONG kHeadroom = 16 * 1024;
  constexpr ULONG kFirstLength = 256 * 1024;
  // Whole 8-byte words, so the records and their 64-bit fields are aligned.
  constexpr std::size_t kWord = sizeof(std::uint64_t);
  if (table.size() * kWord < kFirstLength) table.resize(kFirstLength / kWord);
  for (int attempt = 0; attempt < kTries; ++attempt) {
    const ULONG capacity = static_cast<ULONG>(table.size() * kWord);
    ULONG needed = 0;
    const NtStatus status = query(kSystemProcessInformation, table.data(), capacity, &needed);
    if (status == kStatusInfoLengthMismatch) {
      const ULONG length = (needed > capacity ? needed : capacity * 2) + kHeadroom;
      table.resize((length + kWord - 1) / kWord);
      continue;
    }
    if (status < 0) return false;
    return ReadTable(reinterpret_cast<const std::byte*>(table.data()), capacity, processes);
  }
  return false;
}

}  // namespace

std::optional<std::vector<engine::SystemProcess>> WalkSystemProcesses() {
  std::vector<std::uint64_t> table;
  std::vector<engine::SystemProcess> processes;
  if (!WalkInto(table, processes)) return std::nullopt;
  return processes;
}

const std::vector<engine::SystemProcess>* SystemProcessWalker::Walk() {
  return WalkInto(table_, processes_) ? &processes_ : nullptr;
}

}  // namespace quorvant::win32
