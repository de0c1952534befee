#pragma once

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// Holds the program's named mutex for the life of the process.
class SingleInstance {
 public:
  SingleInstance();
  // True when another instance of the program already held it.
  bool AnotherIsRunning() const { return anotherIsRunning_; }

 private:
  unique_handle mutex_;
  bool anotherIsRunning_ = false;
};

}  // namespace quorvant::win32
