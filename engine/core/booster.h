#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/core/priority_class.h"
#include "engine/core/public_function.h"

namespace quorvant {

// Level texts of the "Speed up level:" list.
inline constexpr std::wstring_view kLevelHigh = L"High";
inline constexpr std::wstring_view kLevelAboveNormal = L"Above Normal";

// Design caption of the current-target labels until the first boost.
inline constexpr std::wstring_view kNoTarget = L"None";

// Titles are read into a buffer of this many characters, its terminating NUL included.
inline constexpr int kTitleBufferChars = 255;

// A top-level window; 0 is none.
using WindowId = std::uintptr_t;

// What the booster needs of the desktop.
class BoosterDesktop {
 public:
  virtual ~BoosterDesktop() = default;
  virtual WindowId ForegroundWindow() = 0;
  // The window's title as the system copies it into a kTitleBufferChars buffer.
  virtual std::wstring WindowTitle(WindowId window) = 0;
  // Sets the priority class of the process that owns window, or of this program when window
  // is 0. A process that cannot be opened for setting keeps its class.
  virtual void SetWindowProcessPriority(WindowId window, int priorityClass) = 0;
  // The time of day as the log shows it.
  virtual std::wstring TimeOfDay() = 0;
};

// One boost: what the process panel and the status panel show of it.
struct Boost {
  std::wstring title;     // the current target's caption and tooltip, on both panels
  std::wstring number;    // log "NO.": a blank and the row's number
  std::wstring time;      // log "Time"
  std::wstring priority;  // log "Priority": "High" or "Above Normal"
  std::wstring speed;     // the figure after "Whole system faster:", such as "14%"
  int count = 0;          // boosts since start, this one included
};

// The priority booster: one Tick per timer interval while the program runs.
class Booster {
 public:
  explicit Booster(BoosterDesktop& desktop, UniformRandom random = ProgramRandom)
      : desktop_(desktop), random_(std::move(random)) {}

  // One step: enabled is the "Enable speed up process" box, level the level list's text.
  // Returns the boost when a new target came to the front.
  std::optional<Boost> Tick(bool enabled, std::wstring_view level);

  // The current target's caption ("None" before the first boost).
  const std::wstring& Target() const { return target_; }
  int Count() const { return count_; }

  // The title as it arrives in a kTitleBufferChars buffer: up to its first NUL, at most one
  // character short of the buffer, never ending in half a surrogate pair.
  static std::wstring TitleFromBuffer(std::wstring_view text);

 private:
  // A title that begins with the current target's text is the same target.
  bool SameTarget(const std::wstring& title) const;

  BoosterDesktop& desktop_;
  UniformRandom random_;
  WindowId lastForeground_ = 0;
  WindowId previousForeground_ = 0;
  int count_ = 0;
  std::wstring target_{kNoTarget};
};

}  // namespace quorvant
