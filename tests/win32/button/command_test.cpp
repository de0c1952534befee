#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "button/core/command_core.h"
#include "button/win32/command.h"
#include "button/win32/command_keys.h"
#include "common/core/raster_canvas.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using test_support::PumpMessages;
using test_support::PumpUntil;

using button::ButtonState;

// A plain top-level window to hold the buttons. It stays hidden: the buttons draw into
// their own bitmaps, and hiding a shown window costs seconds under Wine without a window
// manager.
class TestForm {
 public:
  TestForm() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QuorvantButtonTestForm";
    (void)::RegisterClassExW(&wc);
    hwnd_ =
        ::CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"buttons", WS_OVERLAPPEDWINDOW,
                          40, 40, 560, 300, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TestForm() { (void)::DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

LPARAM At(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)),
                    static_cast<WORD>(static_cast<SHORT>(y)));
}

PropertyBag Bag(std::initializer_list<std::pair<std::wstring, PropertyValue>> values) {
  return PropertyBag(std::wstring(button::kCommandTypeName), values);
}

// A button in a form with its events logged by name.
struct LoggedButton {
  explicit LoggedButton(HWND parent, const PropertyBag& bag = Bag({}), int x = 10, int y = 10,
                        int w = 97, int h = 25) {
    EXPECT_TRUE(command.Create(parent, 100, bag, x, y, w, h));
    auto& e = command.Events();
    e.click = [this] { log.push_back("Click"); };
    e.keyDown = [this](std::int16_t&, std::int16_t&) { log.push_back("KeyDown"); };
    e.keyPress = [this](std::int16_t&) { log.push_back("KeyPress"); };
    e.keyUp = [this](std::int16_t&, std::int16_t&) { log.push_back("KeyUp"); };
    e.mouseDown = [this](std::int16_t&, std::int16_t&, float&, float&) {
      log.push_back("MouseDown");
    };
    e.mouseUp = [this](std::int16_t&, std::int16_t&, float&, float&) { log.push_back("MouseUp"); };
    e.mouseOut = [this] { log.push_back("MouseOut"); };
  }
  int Count(const std::string& name) const {
    return static_cast<int>(std::count(log.begin(), log.end(), name));
  }
  void Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    (void)::SendMessageW(command.Hwnd(), message, wParam, lParam);
  }

  Command command;
  std::vector<std::string> log;
};

TEST(CommandWindow, ClickOncePerCompletedClick) {
  TestForm form;
  LoggedButton b(form.Hwnd());
  b.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  EXPECT_EQ(b.command.Core().State(), ButtonState::Down);
  EXPECT_EQ(::GetCapture(), b.command.Hwnd());
  b.Send(WM_LBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 1);
  EXPECT_EQ(b.command.Core().State(), ButtonState::Up);
  EXPECT_NE(::GetCapture(), b.command.Hwnd());

  // Released outside: no click.
  b.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  b.Send(WM_LBUTTONUP, 0, At(-5, 40));
  EXPECT_EQ(b.Count("Click"), 1);

  // A double click is one click.
  b.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  b.Send(WM_LBUTTONUP, 0, At(10, 10));
  b.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(10, 10));
  EXPECT_EQ(b.command.Core().State(), ButtonState::Down);
  b.Send(WM_LBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 2);
  EXPECT_EQ(b.Count("MouseDown"), 4);

  // The right button clicks without the pressed look; the middle one does not click.
  b.Send(WM_RBUTTONDOWN, MK_RBUTTON, At(10, 10));
  EXPECT_EQ(b.command.Core().State(), ButtonState::Up);
  b.Send(WM_RBUTTONUP, 0, At(10, 10));
  b.Send(WM_MBUTTONDOWN, MK_MBUTTON, At(10, 10));
  b.Send(WM_MBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 3);

  // A right double click is one click too, and the next single click counts again.
  b.Send(WM_RBUTTONDOWN, MK_RBUTTON, At(10, 10));
  b.Send(WM_RBUTTONUP, 0, At(10, 10));
  b.Send(WM_RBUTTONDBLCLK, MK_RBUTTON, At(10, 10));
  b.Send(WM_RBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 4);
  b.Send(WM_RBUTTONDOWN, MK_RBUTTON, At(10, 10));
  b.Send(WM_RBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 5);
  b.Send(WM_MBUTTONDBLCLK, MK_MBUTTON, At(10, 10));
  b.Send(WM_MBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 5);

  b.command.Core().SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(b.command.Hwnd()));
  b.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  b.Send(WM_LBUTTONUP, 0, At(10, 10));
  EXPECT_EQ(b.Count("Click"), 5);
}

TEST(CommandWindow, MouseOutOnceTheCursorHasLeft) {
  TestForm form;
  LoggedButton b(form.Hwnd());
  POINT inside{20, 12};
  (void)::ClientToScreen(b.command.Hwnd(), &inside);
  ASSERT_TRUE(::SetCursorPos(inside.x, inside.y));
  b.Send(WM_MOUSEMOVE, 0, At(20, 12));
  EXPECT_TRUE(b.command.Core().IsHovering());
  // Still inside after a few polls.
  (void)PumpUntil([] { return false; }, std::chrono::milliseconds(60));
  EXPECT_EQ(b.Count("MouseOut"), 0);

  POINT outside{300, 200};
  (void)::ClientToScreen(form.Hwnd(), &outside);
  ASSERT_TRUE(::SetCursorPos(outside.x, outside.y));
  EXPECT_TRUE(PumpUntil([&] { return b.Count("MouseOut") > 0; }, std::chrono::seconds(3)));
  EXPECT_EQ(b.Count("MouseOut"), 1);
  EXPECT_FALSE(b.command.Core().IsHovering());
  EXPECT_FALSE(b.command.Core().HoverTimerRunning());
}

TEST(CommandWindow, SpaceBarRaisesItsEventsInOrder) {
  TestForm form;
  LoggedButton b(form.Hwnd());
  b.Send(WM_KEYDOWN, VK_SPACE, 0x00390001);
  b.Send(WM_CHAR, L' ', 0x00390001);
  b.Send(WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001));
  const std::vector<std::string> expected = {"KeyDown", "MouseDown", "KeyPress",
                                             "KeyUp",   "MouseUp",   "Click"};
  EXPECT_EQ(b.log, expected);
}

TEST(CommandWindow, EnterThroughTheFormsDialogHandlingClicksTheFocusedButtonOnce) {
  TestForm form;
  LoggedButton b(form.Hwnd());
  (void)::SetFocus(b.command.Hwnd());
  const auto key = [&](WPARAM vk, LPARAM lParam) {
    MSG msg{b.command.Hwnd(), WM_KEYDOWN, vk, lParam, 0, {}};
    (void)::IsDialogMessageW(form.Hwnd(), &msg);
  };
  key(VK_RETURN, 1);
  EXPECT_EQ(b.Count("Click"), 1);
  key(VK_RETURN, 1 | (1 << 30));
  EXPECT_EQ(b.Count("Click"), 1) << "a held Enter clicks once";
  key(VK_ESCAPE, 1);
  key(VK_TAB, 1);
  EXPECT_EQ(b.Count("Click"), 1);
  EXPECT_EQ(b.Count("KeyDown"), 2) << "Esc and Tab stay the form's";
}

TEST(CommandWindow, ArrowKeysMoveTheFocusAlongTheTabOrder) {
  TestForm form;
  LoggedButton first(form.Hwnd(), Bag({}), 10, 10);
  LoggedButton second(form.Hwnd(), Bag({}), 10, 50);
  LoggedButton third(form.Hwnd(), Bag({}), 10, 90);
  (void)::SetFocus(first.command.Hwnd());
  ASSERT_EQ(::GetFocus(), first.command.Hwnd());
  EXPECT_TRUE(first.command.Core().HasFocus());

  first.Send(WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(::GetFocus(), second.command.Hwnd());
  EXPECT_FALSE(first.command.Core().HasFocus());
  second.Send(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(::GetFocus(), third.command.Hwnd());
  third.Send(WM_KEYDOWN, VK_UP);
  EXPECT_EQ(::GetFocus(), second.command.Hwnd());
  second.Send(WM_KEYDOWN, VK_LEFT);
  EXPECT_EQ(::GetFocus(), first.command.Hwnd());
}

TEST(CommandWindow, WindowTextFollowsTheCaption) {
  TestForm form;
  LoggedButton b(form.Hwnd(), button::ProgramButtonBag(L"&Refresh", 97, 25));
  wchar_t text[64] = {};
  (void)::GetWindowTextW(b.command.Hwnd(), text, 64);
  EXPECT_STREQ(text, L"&Refresh");
  (void)::SetWindowTextW(b.command.Hwnd(), L"Re&lease");
  EXPECT_EQ(b.command.Core().Properties().caption, L"Re&lease");
  EXPECT_EQ(b.command.Core().AccessKey(), L'l');
  (void)::GetWindowTextW(b.command.Hwnd(), text, 64);
  EXPECT_STREQ(text, L"Re&lease");

  b.Send(BM_CLICK);
  EXPECT_EQ(b.Count("Click"), 1);
}

TEST(CommandWindow, SizeComesFromTheBagExtent) {
  TestForm form;
  Command c;
  ASSERT_TRUE(c.Create(form.Hwnd(), 1, button::ProgramButtonBag(L"OK", 89, 25), 5, 5));
  RECT r{};
  (void)::GetClientRect(c.Hwnd(), &r);
  EXPECT_EQ(r.right, 89);
  EXPECT_EQ(r.bottom, 25);
  EXPECT_EQ(c.Surface().Width(), 89);
  EXPECT_EQ(c.Core().Geometry().height, 25);
}

TEST(CommandWindow, StylesThreeAndFourHaveCutCorners) {
  TestForm form;
  for (std::int64_t type = 1; type <= 5; ++type) {
    LoggedButton b(form.Hwnd(), Bag({{L"ButtonType", type}}), 10, 10, 60, 20);
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(b.command.Hwnd(), rgn), ERROR);
    const bool cut = type == 3 || type == 4;
    for (POINT p : {POINT{0, 0}, POINT{1, 0}, POINT{0, 1}, POINT{59, 19}, POINT{58, 19}}) {
      EXPECT_EQ(::PtInRegion(rgn, p.x, p.y) != FALSE, !cut) << type << ": " << p.x << "," << p.y;
    }
    for (POINT p : {POINT{1, 1}, POINT{2, 0}, POINT{58, 18}, POINT{30, 10}}) {
      EXPECT_TRUE(::PtInRegion(rgn, p.x, p.y)) << type << ": " << p.x << "," << p.y;
    }
    (void)::DeleteObject(rgn);
  }
}

// The same button drawn by the portable core on the raster surface: shapes must match the
// GDI bitmap pixel for pixel (captions are empty, as the raster surface draws no text).
class RasterReference final : public button::CommandHost {
 public:
  RasterReference(const PropertyBag& bag, int w, int h) : canvas_(w, h), core_(canvas_, *this) {
    core_.ReadProperties(bag);
    core_.OnResize(w, h);
  }
  button::SystemColors GetSystemColors() const override {
    auto c = [](int i) { return static_cast<Color>(::GetSysColor(i)); };
    return {c(COLOR_BTNFACE),      c(COLOR_BTNTEXT), c(COLOR_BTNSHADOW),
            c(COLOR_BTNHIGHLIGHT), c(COLOR_3DLIGHT), c(COLOR_3DDKSHADOW)};
  }
  button::PixelPoint CursorPosition() const override { return {1, 1}; }
  bool AmbientDisplayAsDefault() const override { return displayAsDefault; }

  bool displayAsDefault = false;
  RasterCanvas canvas_;
  button::CommandCore core_;
};

enum class Look { kNormal, kHover, kPressed, kFocused, kDefault, kDisabled };

void Apply(Look look, button::CommandCore& core) {
  switch (look) {
    case Look::kNormal:
      break;
    case Look::kHover:
      core.OnMouseMove(0, 0, 5, 5);
      break;
    case Look::kPressed:
      core.OnMouseDown(1, 0, 5, 5);
      break;
    case Look::kFocused:
      core.OnGotFocus();
      break;
    case Look::kDefault:
      core.OnAmbientChanged();
      break;
    case Look::kDisabled:
      core.SetEnabled(false);
      break;
  }
}

// Mismatching pixels between the button's bitmap and the reference, at most a few listed.
std::string Differences(const GdiCanvas& gdi, const RasterCanvas& ref) {
  std::string out;
  int count = 0;
  for (int y = 0; y < ref.Height(); ++y) {
    for (int x = 0; x < ref.Width(); ++x) {
      const auto got = gdi.GetPixel(x, y);
      if (got && *got == ref.At(x, y)) continue;
      if (++count <= 5) {
        char line[96];
        std::snprintf(line, sizeof line, "(%d,%d) gdi %06lx ref %06lx; ", x, y,
                      got ? static_cast<unsigned long>(*got) : 0xFFFFFFFFul,
                      static_cast<unsigned long>(ref.At(x, y)));
        out += line;
      }
    }
  }
  if (count) out += std::to_string(count) + " pixels differ";
  return out;
}

struct LookCase {
  const char* name;
  std::int64_t type;
  std::int64_t xpType;
  std::int64_t scheme;
  Look look;
  int w;
  int h;
};

TEST(CommandWindow, BitmapMatchesThePortableDrawingForEachStyle) {
  const LookCase cases[] = {
      {"xp olive hover", 1, 2, 1, Look::kHover, 97, 25},
      {"xp olive pressed", 1, 2, 1, Look::kPressed, 97, 25},
      {"xp blue default", 1, 1, 1, Look::kDefault, 97, 25},
      {"xp silver disabled", 1, 3, 1, Look::kDisabled, 97, 25},
      {"xp grey scheme", 1, 1, 3, Look::kNormal, 97, 25},
      {"classic pressed", 2, 1, 1, Look::kPressed, 89, 25},
      {"classic hover", 2, 1, 2, Look::kHover, 89, 25},
      {"gloss normal", 3, 1, 1, Look::kNormal, 97, 25},
      {"gloss pressed flat", 3, 1, 2, Look::kPressed, 97, 25},
      {"glass hover", 4, 1, 2, Look::kHover, 233, 33},
      {"glass disabled", 4, 1, 1, Look::kDisabled, 97, 25},
      {"office xp pressed", 5, 1, 3, Look::kPressed, 97, 25},
      {"office xp focused", 5, 1, 1, Look::kFocused, 97, 25},
      {"xp olive focused", 1, 2, 1, Look::kFocused, 97, 25},
  };
  TestForm form;
  for (const auto& c : cases) {
    const PropertyBag bag = Bag({{L"ButtonType", c.type},
                                 {L"XpType", c.xpType},
                                 {L"ColorScheme", c.scheme},
                                 {L"Caption", std::wstring()}});
    Command command;
    ASSERT_TRUE(command.Create(form.Hwnd(), 1, bag, 10, 10, c.w, c.h));
    RasterReference ref(bag, c.w, c.h);
    if (c.look == Look::kDefault) {
      command.SetDisplayAsDefault(true);
      ref.displayAsDefault = true;
    }
    Apply(c.look, command.Core());
    Apply(c.look, ref.core_);
    EXPECT_EQ(Differences(command.Surface(), ref.canvas_), "") << c.name;
  }
}

TEST(CommandWindow, TwentyThousandRedrawsLeaveNoDrawingObjectsBehind) {
  TestForm form;
  const PropertyBag bag = Bag({{L"ButtonType", std::int64_t{4}}, {L"Caption", std::wstring()}});
  Command command;
  ASSERT_TRUE(command.Create(form.Hwnd(), 1, bag, 10, 10, 97, 25));
  RasterReference ref(bag, 97, 25);
  (void)command.Core().SetPercent(53);
  (void)ref.core_.SetPercent(53);

  // A leaked brush or pen would hold the handle slot a fresh object gets next.
  const auto nextSlot = [] {
    HBRUSH probe = ::CreateSolidBrush(0);
    const auto slot = reinterpret_cast<std::uintptr_t>(probe) & 0xFFFF;
    (void)::DeleteObject(probe);
    return slot;
  };
  const DWORD objectsBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const auto slotBefore = nextSlot();
  for (int i = 0; i < 20000; ++i) {
    command.Core().DrawButton(i % 2 ? ButtonState::Up : ButtonState::Down, true);
  }
  EXPECT_EQ(nextSlot(), slotBefore);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), objectsBefore);
  EXPECT_EQ(Differences(command.Surface(), ref.canvas_), "");
}

TEST(CommandKeyRouter, EnterEscapeAndAccessKeysClickTheirButtons) {
  TestForm form;
  LoggedButton ok(form.Hwnd(), button::ProgramButtonBag(L"OK", 89, 25), 10, 10);
  LoggedButton cancel(form.Hwnd(), button::ProgramButtonBag(L"Cancel", 89, 25), 10, 50);
  LoggedButton release(form.Hwnd(), button::ProgramButtonBag(L"&Release", 89, 25), 10, 90);
  CommandKeyRouter router(form.Hwnd());
  for (LoggedButton* b : {&ok, &cancel, &release}) router.Add(b->command);
  router.SetDefault(&ok.command);
  router.SetCancel(&cancel.command);
  (void)::SetFocus(form.Hwnd());
  router.UpdateDefaultLook(form.Hwnd());
  EXPECT_TRUE(ok.command.DisplayAsDefault());

  const auto key = [&](UINT message, WPARAM wParam) {
    MSG msg{form.Hwnd(), message, wParam, 0, 0, {}};
    return router.PreTranslateMessage(msg);
  };
  EXPECT_TRUE(key(WM_KEYDOWN, VK_RETURN));
  EXPECT_EQ(ok.Count("Click"), 1);
  EXPECT_TRUE(key(WM_KEYDOWN, VK_ESCAPE));
  EXPECT_EQ(cancel.Count("Click"), 1);
  EXPECT_TRUE(key(WM_SYSCHAR, L'R'));
  EXPECT_EQ(release.Count("Click"), 1);
  EXPECT_FALSE(key(WM_SYSCHAR, L'x'));
  EXPECT_FALSE(key(WM_KEYDOWN, L'A'));

  // The focused button shows as default and takes Enter.
  (void)::SetFocus(release.command.Hwnd());
  EXPECT_TRUE(release.command.DisplayAsDefault());
  EXPECT_FALSE(ok.command.DisplayAsDefault());
  EXPECT_TRUE(key(WM_KEYDOWN, VK_RETURN));
  EXPECT_EQ(release.Count("Click"), 2);
  EXPECT_EQ(ok.Count("Click"), 1);

  // Disabled and hidden buttons are passed over.
  cancel.command.Core().SetEnabled(false);
  EXPECT_FALSE(key(WM_KEYDOWN, VK_ESCAPE));
  EXPECT_EQ(cancel.Count("Click"), 1);
  (void)::ShowWindow(release.command.Hwnd(), SW_HIDE);
  EXPECT_FALSE(key(WM_SYSCHAR, L'r'));
  EXPECT_EQ(release.Count("Click"), 2);
}

}  // namespace
}  // namespace quorvant::win32
