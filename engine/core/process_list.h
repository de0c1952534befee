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

// The lower-cased path of the first module of process id whose path contains name,
// compared without regard to case; when none does (a module path too long for the module
// entry, or modules that cannot be read), the executable's own path under the same rule;
// empty when that does not contain the name either. Not a file-name comparison: a module
// earlier in the list whose folder holds the name wins.
std::wstring GetProcessPath(ProcessSource& source, std::uint32_t id, std::wstring_view name);

// One row of the process list as it is added.
struct ListedProcess {
  int number = 0;  // the "ID" column: rows before it plus one
  std::uint32_t id = 0;
  std::wstring name;      // the "Process" column
  std::wstring path;      // where its icon comes from
  std::wstring imageKey;  // its small icon's key in the image list
};

// Walks a fresh snapshot and hands each process whose path can be found to add, in
// snapshot order; processes without a readable path or with an empty name are passed over
// and leave no gap in the row numbers. Returns the number of rows.
int BuildProcessList(ProcessSource& source, const std::function<void(const ListedProcess&)>& add);

// The image-list key of a row's icon, taken when the list holds rowCount rows including
// the new one: "P" followed by rowCount + 1 (the first row's key is "P2").
std::wstring ImageKey(int rowCount);

}  // namespace quorvant::engine
