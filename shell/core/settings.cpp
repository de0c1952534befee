#include "shell/core/settings.h"

#include <algorithm>
#include <string>

#include "engine/core/text_tools.h"

namespace quorvant::shell {

int CheckStateFromStored(std::wstring_view stored) {
  const std::wstring text = TrimNull(stored);
  if (text.empty() || text.size() > 5) return kDefaultCheck;
  if (!std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
    return kDefaultCheck;
  }
  const int value = std::stoi(text);
  return value <= kGrayed ? value : kDefaultCheck;
}

std::wstring ComboTextFromStored(std::wstring_view stored, std::span<const std::wstring_view> items,
                                 std::wstring_view fallback) {
  const std::wstring text = TrimNull(stored);
  const bool listed = std::find(items.begin(), items.end(), text) != items.end();
  return listed ? text : std::wstring(fallback);
}

void Settings::Store(SettingKey key, std::wstring_view value) {
  if (!store_.Write(key, value) && writeFailed) writeFailed(key);
}

void Settings::ChangeImproveProcess(int value) {
  state_.improveProcess = value;
  Store(kEnableImproveProcess, std::to_wstring(value));
}

void Settings::ChangeImproveSpeed(std::wstring_view text) {
  state_.improveSpeed = text;
  Store(kImproveSpeed, text);
}

void Settings::ChangeAutoFreeMemory(int value) {
  state_.autoFreeMemory = value;
  Store(kEnableFreeMemory, std::to_wstring(value));
}

void Settings::ChangeFreeMemoryInterval(std::wstring_view text) {
  state_.freeMemoryInterval = text;
  Store(kAutoFreeMemoryInterval, text);
}

void Settings::ChangeAutorun(int value) {
  state_.autorun = value;
  if (value != kUnchecked) {
    autorun_.Add();
  } else {
    autorun_.Remove();
  }
  Store(kAutorun, std::to_wstring(value));
}

void Settings::ChangeAutomin(int value) {
  // Takes effect at the next start only.
  state_.automin = value;
  Store(kAutomin, std::to_wstring(value));
}

void Settings::ChangeCalmBackground(int value) {
  state_.calmBackground = value;
  Store(kCalmBackgroundProcesses, std::to_wstring(value));
}

bool Settings::ApplyStored() {
  auto assignCheck = [this](SettingKey key, int current, void (Settings::*change)(int)) {
    const int value = CheckStateFromStored(store_.Read(key));
    if (value != current) (this->*change)(value);
  };
  auto assignCombo = [this](SettingKey key, const std::wstring& current,
                            std::span<const std::wstring_view> items, std::wstring_view fallback,
                            void (Settings::*change)(std::wstring_view)) {
    const std::wstring text = ComboTextFromStored(store_.Read(key), items, fallback);
    if (text != current) (this->*change)(text);
  };

  assignCheck(kEnableImproveProcess, state_.improveProcess, &Settings::ChangeImproveProcess);
  assignCombo(kImproveSpeed, state_.improveSpeed, kSpeedItems, kDefaultSpeed,
              &Settings::ChangeImproveSpeed);
  assignCheck(kCalmBackgroundProcesses, state_.calmBackground, &Settings::ChangeCalmBackground);
  assignCheck(kEnableFreeMemory, state_.autoFreeMemory, &Settings::ChangeAutoFreeMemory);
  assignCombo(kAutoFreeMemoryInterval, state_.freeMemoryInterval, kIntervalItems, kDefaultInterval,
              &Settings::ChangeFreeMemoryInterval);

  assignCheck(kAutorun, state_.autorun, &Settings::ChangeAutorun);
  // Rewritten at every start, so a moved program is registered under its new path.
  if (state_.autorun == kChecked) {
    autorun_.Add();
  } else {
    autorun_.Remove();
  }

  assignCheck(kAutomin, state_.automin, &Settings::ChangeAutomin);
  return state_.automin == kChecked;
}

}  // namespace quorvant::shell
