#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/process_identity.h"

namespace quorvant::engine {

// What the process list needs of the platform: the running processes and, for one of
// them, the paths of its modules, its image name and its identity; and the system's case
// mapping of file names. Tests replace it with a fake.
class ProcessSource {
 public:
  struct Process {
    std::uint32_t id = 0;
    std::wstring exeFile;  // as the snapshot gives it
    // Creation time, as ProcessIdentity has it, where the walk gives it for nothing; else 0.
    std::uint64_t started = 0;
  };

  virtual ~ProcessSource() = default;
  // Visits every process of a fresh snapshot in snapshot order; nothing when none can be taken.
  virtual void ForEachProcess(const std::function<void(const Process&)>& visit) = 0;
  // Visits the full path of each module of process id in order until visit returns true;
  // nothing when the process's modules cannot be read.
  virtual void ForEachModulePath(std::uint32_t id,
                                 const std::function<bool(std::wstring_view)>& visit) = 0;
  // The full path of process id's executable as the system names it, however long; empty
  // when it cannot be read.
  virtual std::wstring ImagePath(std::uint32_t id) = 0;
  // The process running now under id, with its creation time; empty when none can be read.
  virtual std::optional<ProcessIdentity> Identify(std::uint32_t id) = 0;
  // Lower-case and upper-case copies of a file name, as the system maps its letters.
  virtual std::wstring Lower(std::wstring_view text) = 0;
  virtual std::wstring Upper(std::wstring_view text) = 0;
};

// How a process's executable path is found.
enum class PathRule {
  // The executable's image name from the system, one query per process; the modules are
  // walked only where that name cannot be read or does not hold the process name.
  ImageName,
  // The first of the process's modules whose path holds the name, the image name only where
  // none does: a module walk per process, the way the list was built before it came from
  // one system walk. Kept as the yardstick for that one walk: the same list, the old way.
  Modules,
};

// The lower-cased path of process id's executable, found by rule: a path that contains
// name, compared without regard to case; empty when none does or id is 0, which names no
// process (a module walk of id 0 would read this program's own modules). Not a file-name
// comparison: under the module rule a module earlier in the list whose folder holds the
// name wins. Both rules give the same path whenever the system names the executable's file
// as its loader does; where they could differ (a path reached through a substituted drive
// or a short name), the image name is the system's own and is kept.
std::wstring GetProcessPath(ProcessSource& source, std::uint32_t id, std::wstring_view name,
                            PathRule rule = PathRule::ImageName);

// One row of the process list as it is added.
struct ListedProcess {
  int number = 0;  // the "ID" column: rows before it plus one
  std::uint32_t id = 0;
  std::uint64_t started = 0;  // as the source gave it: 0 when unknown
  std::wstring name;          // the "Process" column
  std::wstring path;          // where its icon comes from
  std::wstring imageKey;      // its small icon's key in the image list
};

// Walks a fresh snapshot and hands each process whose path can be found by rule to add, in
// snapshot order; processes without a readable path or with an empty name are passed over
// and leave no gap in the row numbers. Returns the number of rows.
int BuildProcessList(ProcessSource& source, const std::function<void(const ListedProcess&)>& add,
                     PathRule rule = PathRule::ImageName);

// The image-list key of a row's icon, taken when the list holds rowCount rows including
// the new one: "P" followed by rowCount + 1 (the first row's key is "P2").
std::wstring ImageKey(int rowCount);

}  // namespace quorvant::engine
