// Time per DrawButton of the program's two button sizes, each as a ratio against a floor
// measured in the same run: one FillRect of the button's whole area on the same surface.
#ifdef _WIN32
#include <windows.h>

#include "common/win32/gdi_canvas.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "button/core/command_core.h"
#include "bench/table_row.h"
#include "common/core/raster_canvas.h"

namespace quorvant::button {
namespace {

class BenchHost final : public CommandHost {
 public:
  SystemColors GetSystemColors() const override {
    return {Rgb(236, 233, 216), Rgb(0, 0, 0),       Rgb(172, 168, 153),
            Rgb(255, 255, 255), Rgb(241, 239, 226), Rgb(113, 111, 100)};
  }
  PixelPoint CursorPosition() const override { return {-1, -1}; }
};

#ifdef _WIN32
constexpr const char* kSurfaceName = "GDI memory bitmap (under Wine)";
std::unique_ptr<Canvas> MakeSurface(int w, int h) {
  auto canvas = std::make_unique<win32::GdiCanvas>();
  canvas->Resize(w, h);
  return canvas;
}
#else
constexpr const char* kSurfaceName = "raster canvas (native)";
std::unique_ptr<Canvas> MakeSurface(int w, int h) { return std::make_unique<RasterCanvas>(w, h); }
#endif

// Median over rounds of the time per call, each round long enough to trust the clock.
double NanosecondsPerCall(const std::function<void()>& call) {
  using Clock = std::chrono::steady_clock;
  int iterations = 1;
  for (;;) {
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) call();
    if (Clock::now() - start > std::chrono::milliseconds(50)) break;
    iterations *= 2;
  }
  std::vector<double> rounds;
  for (int round = 0; round < 7; ++round) {
    const auto start = Clock::now();
    for (int i = 0; i < iterations; ++i) call();
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    rounds.push_back(elapsed.count() / iterations);
  }
  std::sort(rounds.begin(), rounds.end());
  return rounds[rounds.size() / 2];
}

struct Case {
  const char* name;
  int w;
  int h;
  std::int32_t buttonType;
  const wchar_t* caption;
};

void Run(const Case& c) {
  BenchHost host;
  auto surface = MakeSurface(c.w, c.h);
  CommandCore core(*surface, host);
  core.ReadProperties(ProgramButtonBag(c.caption, c.w, c.h));
  core.OnResize(c.w, c.h);
  if (c.buttonType != core.Properties().buttonType) core.SetButtonType(c.buttonType);

  const double floor =
      NanosecondsPerCall([&] { surface->FillRect(0, 0, c.w, c.h, Rgb(200, 200, 200)); });
  const double up = NanosecondsPerCall([&] { core.DrawButton(ButtonState::Up, true); });
  const double down = NanosecondsPerCall([&] { core.DrawButton(ButtonState::Down, true); });
  std::printf("  %-28s floor %8.2f us | up %8.2f us  x%6.1f | pressed %8.2f us  x%6.1f\n", c.name,
              floor / 1000, up / 1000, up / floor, down / 1000, down / floor);
  const std::string figure = std::string("button: DrawButton ") + c.name;
  const std::string conditions = std::string(kSurfaceName) + ", floor one FillRect";
  bench::TableRow(figure.c_str(), up / 1000, floor / 1000, "us", conditions.c_str());
}

}  // namespace
}  // namespace quorvant::button

int main() {
  using quorvant::button::Case;
  std::printf("DrawButton on the %s; floor = one FillRect of the whole button\n",
              quorvant::button::kSurfaceName);
  const Case cases[] = {
      {"97 x 25, style 1 XpOlive", 97, 25, 1, L"Limit"},
      {"233 x 33, style 4 glass", 233, 33, 4, L"Release memory now"},
  };
  for (const Case& c : cases) quorvant::button::Run(c);
  return 0;
}
