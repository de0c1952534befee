#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "shell/core/main_window_layout.h"

namespace quorvant::shell {

// The items of the tray icon's popup menu, in order.
enum class MenuItem { State, Process, CPU, Memory, Setting, About, S1, HomePage, S2, Exit };

struct MenuItemSpec {
  MenuItem item;
  std::wstring_view caption;  // empty for a separator
  std::optional<Entry> entry;  // the panel the item shows
};

inline constexpr std::array<MenuItemSpec, 10> kTrayMenu{{
    {MenuItem::State, L"State", Entry::State},
    {MenuItem::Process, L"Speed up process", Entry::Process},
    {MenuItem::CPU, L"Speed up CPU", Entry::CPU},
    {MenuItem::Memory, L"Speed up memory", Entry::Memory},
    {MenuItem::Setting, L"Setting", Entry::Setting},
    {MenuItem::About, L"About", Entry::About},
    {MenuItem::S1, L"", std::nullopt},
    {MenuItem::HomePage, L"Home Page", std::nullopt},
    {MenuItem::S2, L"", std::nullopt},
    {MenuItem::Exit, L"Exit", std::nullopt},
}};

}  // namespace quorvant::shell
