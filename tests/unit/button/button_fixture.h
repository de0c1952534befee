#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "button/core/command_core.h"
#include "common/core/raster_canvas.h"

namespace quorvant::button::testing {

// Colours of a classic grey desktop, distinct enough to tell the elements apart.
inline constexpr SystemColors kTestSystemColors{Rgb(192, 192, 192), Rgb(0, 0, 0),
                                                Rgb(128, 128, 128), Rgb(255, 255, 255),
                                                Rgb(223, 223, 223), Rgb(64, 64, 64)};

class FakeHost final : public CommandHost {
 public:
  SystemColors system = kTestSystemColors;
  FontDesc ambientFont{L"MS Sans Serif", 8.0};
  bool displayAsDefault = false;
  bool userMode = true;
  PixelPoint cursor{-50, -50};
  bool timerRunning = false;
  int timerStarts = 0;
  int draws = 0;
  int refreshes = 0;
  std::vector<bool> focusMoves;  // true: forward
  std::vector<std::wstring> changed;
  std::optional<ButtonRegion> region;
  std::optional<bool> windowEnabled;

  SystemColors GetSystemColors() const override { return system; }
  FontDesc AmbientFont() const override { return ambientFont; }
  bool AmbientDisplayAsDefault() const override { return displayAsDefault; }
  bool AmbientUserMode() const override { return userMode; }
  std::uintptr_t WindowHandle() const override { return 0x1234; }
  void EnableWindow(bool enabled) override { windowEnabled = enabled; }
  void SetWindowRegion(const ButtonRegion& r) override { region = r; }
  void Invalidate() override { ++draws; }
  void Refresh() override { ++refreshes; }
  void StartHoverTimer() override {
    timerRunning = true;
    ++timerStarts;
  }
  void StopHoverTimer() override { timerRunning = false; }
  PixelPoint CursorPosition() const override { return cursor; }
  void MoveFocus(bool forward) override { focusMoves.push_back(forward); }
  void PropertyChanged(std::wstring_view key) override { changed.emplace_back(key); }
};

// A sized button on a raster surface, loaded from a bag, with every event logged.
struct TestButton {
  explicit TestButton(int width, int height, const PropertyBag& bag = PropertyBag())
      : canvas(width, height), core(canvas, host) {
    core.ReadProperties(bag);
    core.OnResize(width, height);
    LogEvents();
    host.draws = 0;
  }

  Color At(int x, int y) const { return canvas.At(x, y); }
  // The events raised since the last call, space separated.
  std::string TakeLog() {
    std::string all;
    for (const auto& e : log) all += (all.empty() ? "" : " ") + e;
    log.clear();
    return all;
  }

  FakeHost host;
  RasterCanvas canvas;
  CommandCore core;
  std::vector<std::string> log;

 private:
  void LogEvents() {
    auto mouse = [this](const char* name) {
      return [this, name](std::int16_t& b, std::int16_t& s, float& x, float& y) {
        std::ostringstream out;
        out << name << "(" << b << "," << s << "," << x << "," << y << ")";
        log.push_back(out.str());
      };
    };
    auto key = [this](const char* name) {
      return [this, name](std::int16_t& code, std::int16_t& shift) {
        log.push_back(std::string(name) + "(" + std::to_string(code) + "," + std::to_string(shift) +
                      ")");
      };
    };
    core.events.click = [this] { log.push_back("Click"); };
    core.events.keyDown = key("KeyDown");
    core.events.keyPress = [this](std::int16_t& k) {
      log.push_back("KeyPress(" + std::to_string(k) + ")");
    };
    core.events.keyUp = key("KeyUp");
    core.events.mouseDown = mouse("MouseDown");
    core.events.mouseMove = mouse("MouseMove");
    core.events.mouseUp = mouse("MouseUp");
    core.events.mouseOut = [this] { log.push_back("MouseOut"); };
  }
};

}  // namespace quorvant::button::testing
