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
