#include "engine/core/booster.h"

#include <utility>

namespace quorvant {

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::wstring Booster::TitleFromBuffer(std::wstring_view text) {
  text = text.substr(0, text.find(L'\0'));
  if (text.size() > kTitleBufferChars - 1) {
    text = text.substr(0, kTitleBufferChars - 1);
    // A cut between the halves of a pair would show as a broken character.
    if (IsHighSurrogate(text.back())) text.remove_suffix(1);
  }
  return std::wstring(text);
}

bool Booster::SameTarget(const std::wstring& title) const {
  // The comparison runs over the trimmed length of the caption but on the caption as it
  // stands, so a title with leading blanks still matches its own caption.
  const size_t n = TrimNull(target_).size();
  return title.size() >= n && title.compare(0, n, target_, 0, n) == 0;
}

std::optional<Boost> Booster::Tick(bool enabled, std::wstring_view level) {
  if (!enabled) return std::nullopt;
  const WindowId window = desktop_.ForegroundWindow();

  // The window variables follow the foreground on every enabled tick, boost or not, so the
  // demotion goes to whatever was in front just before.
  const WindowId before = lastForeground_;
  previousForeground_ = lastForeground_;
  lastForeground_ = window;
  if (window == before) return std::nullopt;
  // Read only for a new window: most ticks see the same one, and reading another process's
  // title costs a round trip to the system.
  const std::wstring title = TitleFromBuffer(desktop_.WindowTitle(window));
  if (TrimNull(title).empty()) return std::nullopt;
  if (SameTarget(title)) return std::nullopt;

  const bool high = level == kLevelHigh;
  desktop_.SetWindowProcessPriority(previousForeground_, kNormalPriorityClass);
  desktop_.SetWindowProcessPriority(window, high ? kHighPriorityClass : kAboveNormalPriorityClass);

  target_ = title;
  Boost boost;
  boost.title = title;
  boost.number = L" " + std::to_wstring(count_ + 1);
  boost.time = desktop_.TimeOfDay();
  boost.priority = high ? kLevelHigh : kLevelAboveNormal;
  boost.speed = (high ? L"1" : L"2") + RandomDigits(1, random_) + L"%";
  boost.count = ++count_;
  return boost;
}

}  // namespace quorvant
