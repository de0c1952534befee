#pragma once

#include <array>
#include <string_view>

#include "common/core/accessibility.h"
#include "shell/core/chrome.h"
#include "shell/core/main_window_layout.h"

namespace quorvant::shell {

// What the skinned window's own parts tell a screen reader: the navigation column as a page
// tab list with one tab per panel, the shown one selected, and the two title-bar buttons.
struct SkinFacts {
  std::wstring_view windowName;
  access::Box client;
  std::array<access::Box, kEntryCount> entries;  // each entry's picture
  Entry selected = Entry::State;
  access::Box minimise;
  access::Box close;
  TitleButton::Look minimiseLook = TitleButton::Look::Normal;
  TitleButton::Look closeLook = TitleButton::Look::Normal;
};

// The nodes of the skin's tree, in reading order.
inline constexpr int kPanelListNode = 1;
inline constexpr int kFirstEntryNode = 2;
inline constexpr int kMinimiseNode = kFirstEntryNode + kEntryCount;
inline constexpr int kCloseNode = kMinimiseNode + 1;

access::Tree SkinTree(const SkinFacts& facts);

// What a reader's default action on a node of the skin's tree does.
struct SkinAction {
  enum class Kind { None, Select, Minimise, Hide };
  Kind kind = Kind::None;
  Entry entry = Entry::State;
  friend bool operator==(const SkinAction&, const SkinAction&) = default;
};
SkinAction SkinDefaultAction(int node);

}  // namespace quorvant::shell
