#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace quorvant::shell {

struct SettingKey {
  std::wstring_view section;
  std::wstring_view key;
};

inline constexpr SettingKey kEnableImproveProcess{L"Process", L"EnableImproveProcess"};
inline constexpr SettingKey kImproveSpeed{L"Process", L"ImproveSpeed"};
inline constexpr SettingKey kEnableFreeMemory{L"Memory", L"EnableFreeMemory"};
inline constexpr SettingKey kAutoFreeMemoryInterval{L"Memory", L"AutoFreeMemoryInterval"};
inline constexpr SettingKey kAutorun{L"Setting", L"Autorun"};
inline constexpr SettingKey kAutomin{L"Setting", L"Automin"};
// "Calm background processes", beside the booster's box on the process panel.
inline constexpr SettingKey kCalmBackgroundProcesses{L"Process", L"CalmBackgroundProcesses"};

inline constexpr std::array<std::wstring_view, 2> kSpeedItems{L"Above Normal", L"High"};
inline constexpr std::array<std::wstring_view, 4> kIntervalItems{L"1 minute", L"3 minute",
                                                                 L"5 minute", L"10 minute"};

// What a stored value that is missing or not in its format turns into.
inline constexpr int kDefaultCheck = 0;
inline constexpr std::wstring_view kDefaultSpeed = L"Above Normal";
inline constexpr std::wstring_view kDefaultInterval = L"5 minute";

// Check-box states as the platform's check boxes know them.
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;
inline constexpr int kGrayed = 2;

// A click on a settings box: a clear or greyed box becomes ticked, a ticked one clear.
constexpr int NextCheckState(int value) { return value == kChecked ? kUnchecked : kChecked; }

// Config.ini as the settings see it: one key per call, the file opened each time.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or empty for a missing file, section or key.
  virtual std::wstring Read(SettingKey key) = 0;
  // False when the value could not be stored.
  virtual bool Write(SettingKey key, std::wstring_view value) = 0;
};

// The start-with-Windows value under the Run key.
class AutorunEntry {
 public:
  virtual ~AutorunEntry() = default;
  virtual void Add() = 0;
  virtual void Remove() = 0;
};

// A stored check-box text as the box's state: "0", "1" or "2" (blanks around it allowed);
// anything else is the default.
int CheckStateFromStored(std::wstring_view stored);
// A stored drop-down text: one of the items exactly, or the fallback.
std::wstring ComboTextFromStored(std::wstring_view stored, std::span<const std::wstring_view> items,
                                 std::wstring_view fallback);

// The state of the seven bound controls.
struct SettingsState {
  int improveProcess = kUnchecked;
  std::wstring improveSpeed;  // a fresh drop-down list shows no item
  int autoFreeMemory = kUnchecked;
  std::wstring freeMemoryInterval;
  int autorun = kUnchecked;
  int automin = kUnchecked;
  int calmBackground = kUnchecked;
};

// The seven settings and their change behaviour. The window's controls show State(); a
// user's change to a control calls the matching Change function, which writes the key at
// once (and, for Autorun, adds or removes the start-with-Windows value first).
class Settings {
 public:
  Settings(SettingsStore& store, AutorunEntry& autorun) : store_(store), autorun_(autorun) {}

  const SettingsState& State() const { return state_; }

  void ChangeImproveProcess(int value);
  void ChangeImproveSpeed(std::wstring_view text);
  void ChangeAutoFreeMemory(int value);
  void ChangeFreeMemoryInterval(std::wstring_view text);
  void ChangeAutorun(int value);
  void ChangeAutomin(int value);
  void ChangeCalmBackground(int value);

  // Start-up: reads the seven keys in order and assigns them as a user's change would, but
  // only where the value differs from the control's state; the start-with-Windows value
  // is then rewritten or removed. Returns true when the window is to start hidden.
  bool ApplyStored();

  // Told of each value the store could not keep; the control keeps the new value, which
  // the program goes on using until it ends.
  std::function<void(SettingKey)> writeFailed;

 private:
  void Store(SettingKey key, std::wstring_view value);

  SettingsStore& store_;
  AutorunEntry& autorun_;
  SettingsState state_;
};

}  // namespace quorvant::shell
