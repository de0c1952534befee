#pragma once

#include <windows.h>

#include "engine/core/process_identity.h"

namespace quorvant::win32 {

// Where a CPU cap's job handle is handed on, so that someone outside the program can switch
// the cap off when the program is gone: the watcher, through the ledger's keeper.
class JobSharing {
 public:
  virtual ~JobSharing() = default;
  // Before the process joins the job. False when the handle should have been handed on but
  // could not be: the cap is then not to be set.
  virtual bool ShareJob(const ProcessIdentity& process, HANDLE job) = 0;
  virtual void UnshareJob(const ProcessIdentity& process) = 0;
};

}  // namespace quorvant::win32
