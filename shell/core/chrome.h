#pragma once

#include <array>
#include <cstdint>

#include "shell/core/main_window_layout.h"

namespace quorvant::shell {

// Which of its two pictures each navigation entry shows, and which panel is visible.
class Navigation {
 public:
  Entry Selected() const { return selected_; }
  // Select entry: the entry shows its selected picture and its panel, the others their
  // normal picture; selecting the selected entry changes nothing.
  void Select(Entry entry) { selected_ = entry; }
  // 0 normal, 1 selected.
  int PictureIndex(Entry entry) const { return entry == selected_ ? 1 : 0; }
  bool PanelVisible(Entry entry) const { return entry == selected_; }

 private:
  Entry selected_ = Entry::State;
};

// Keys that switch panels, as in tabbed Windows dialogs: Ctrl+Tab and Ctrl+Page Down go to
// the next entry, Ctrl+Shift+Tab and Ctrl+Page Up to the previous one, wrapping around at
// both ends of the column.
enum class PanelStep { None, Next, Previous };
inline constexpr std::uint32_t kKeyTab = 0x09;
inline constexpr std::uint32_t kKeyPageUp = 0x21;
inline constexpr std::uint32_t kKeyPageDown = 0x22;

constexpr PanelStep PanelStepForKey(std::uint32_t virtualKey, bool ctrl, bool shift, bool alt) {
  if (!ctrl || alt) return PanelStep::None;
  switch (virtualKey) {
    case kKeyTab:
      return shift ? PanelStep::Previous : PanelStep::Next;
    case kKeyPageDown:
      return PanelStep::Next;
    case kKeyPageUp:
      return PanelStep::Previous;
    default:
      return PanelStep::None;
  }
}

constexpr Entry StepEntry(Entry from, PanelStep step) {
  const int at = static_cast<int>(from);
  switch (step) {
    case PanelStep::Next:
      return static_cast<Entry>((at + 1) % kEntryCount);
    case PanelStep::Previous:
      return static_cast<Entry>((at + kEntryCount - 1) % kEntryCount);
    case PanelStep::None:
      break;
  }
  return from;
}

enum class MouseButton { Left, Right, Middle };

// A title-bar button drawn by three stacked pictures.
class TitleButton {
 public:
  enum class Kind { Minimise, Close };
  enum class Look { Normal = 0, Hover = 1, Pressed = 2 };
  enum class Action { None, Minimise, Hide };

  explicit TitleButton(Kind kind) : kind_(kind) {}

  Look CurrentLook() const { return look_; }

  // Any move over the button, also while a button is held.
  void MouseMove() { look_ = Look::Hover; }
  void MouseDown(MouseButton) { look_ = Look::Pressed; }
  // Acts only when the mouse has not moved since the press (the pressed look is still up).
  // The look stays pressed afterwards until the mouse moves over the window's background.
  Action MouseUp(MouseButton) {
    if (look_ != Look::Pressed) return Action::None;
    return kind_ == Kind::Minimise ? Action::Minimise : Action::Hide;
  }
  // A completed left click (pressed and released over the button, moved or not).
  Action Click() const { return kind_ == Kind::Close ? Action::Hide : Action::None; }
  // The mouse moved over the window's own surface.
  void BackgroundMove() { look_ = Look::Normal; }

 private:
  Kind kind_;
  Look look_ = Look::Normal;
};

}  // namespace quorvant::shell
