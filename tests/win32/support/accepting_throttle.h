#pragma once

// A CPU throttle for in-process tests of the limit table and its dialog.

#include <windows.h>

#include <algorithm>
#include <vector>

#include "engine/core/cpu_limits.h"

namespace quorvant::win32::test_support {

// Limits as the system would take them, without touching any process: every limit is
// applied, and the test sees which.
class AcceptingThrottle final : public engine::CpuThrottle {
 public:
  std::vector<DWORD> held;
  engine::ThrottleAnswer Cap(const ProcessIdentity& p, int) override {
    held.push_back(p.id);
    return engine::ThrottleAnswer::Done;
  }
  engine::ThrottleAnswer ChangeCap(const ProcessIdentity&, int) override {
    return engine::ThrottleAnswer::Done;
  }
  void Uncap(const ProcessIdentity& p) override {
    held.erase(std::remove(held.begin(), held.end(), p.id), held.end());
  }
  engine::ThrottleAnswer StartDutyCycle(const ProcessIdentity&, int) override {
    return engine::ThrottleAnswer::Failed;
  }
  engine::ThrottleAnswer ChangeDutyCycle(const ProcessIdentity&, int) override {
    return engine::ThrottleAnswer::Failed;
  }
  void StopDutyCycle(const ProcessIdentity&) override {}
  bool Ended(const ProcessIdentity&) override { return false; }
};

}  // namespace quorvant::win32::test_support
