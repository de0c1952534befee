#include "shell/win32/status_panel.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "common/core/twips.h"
#include "engine/win32/time_of_day.h"

namespace quorvant::win32 {
namespace {

// The status panel on a hidden stand-in for the main window.
class StatusPanelTest : public ::testing::Test {
 protected:
  StatusPanelTest()
      : owner_(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 520, 400, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr)) {
    panel_.Create(owner_, 0, 0, 497, 369);
    (void)::ShowWindow(panel_.Hwnd(), SW_SHOW);
    status_ = std::make_unique<StatusPanel>(panel_, fonts_);
  }
  ~StatusPanelTest() override {
    status_.reset();
    (void)::DestroyWindow(owner_);
  }

  // Where a label sits on the panel, in pixels.
  POINT PlaceOf(const LiveLabel& label) const {
    RECT r{};
    (void)::GetWindowRect(label.Hwnd(), &r);
    (void)::MapWindowPoints(nullptr, panel_.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top};
  }
  static std::wstring WindowText(HWND hwnd) {
    wchar_t text[300] = {};
    (void)::GetWindowTextW(hwnd, text, 300);
    return text;
  }
  // The colours the panel gives a label when it paints.
  COLORREF TextColorOf(const LiveLabel& label) const {
    HDC dc = ::CreateCompatibleDC(nullptr);
    const auto brush =
        ::SendMessageW(panel_.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(label.Hwnd()));
    const COLORREF color = brush ? ::GetTextColor(dc) : CLR_INVALID;
    (void)::DeleteDC(dc);
    return color;
  }

  HWND owner_;
  FontCache fonts_;
  Panel panel_;
  std::unique_ptr<StatusPanel> status_;
};

TEST_F(StatusPanelTest, LinesStartWithTheirDesignTextsAtTheirPlacesInTheirColours) {
  struct Line {
    const LiveLabel& label;
    const wchar_t* design;
    int leftTwips;
    int topTwips;
    COLORREF color;
  };
  const Line lines[] = {
      {status_->TimeLabel(), L"time", 1800, 1080, ::GetSysColor(COLOR_WINDOWTEXT)},
      {status_->SpeedLabel(), L"0%", 3120, 1320, RGB(255, 0, 0)},
      {status_->NowImprovingLabel(), L"None", 2760, 1560, RGB(0, 128, 0)},
      {status_->LimitedLabel(), L"0", 5400, 1800, RGB(192, 0, 192)},
      {status_->MemoryLabel(), L"0", 2520, 2040, RGB(255, 128, 0)},
  };
  for (const auto& line : lines) {
    SCOPED_TRACE(line.design);
    EXPECT_EQ(WindowText(line.label.Hwnd()), line.design) << "screen readers read the window text";
    const POINT at = PlaceOf(line.label);
    EXPECT_EQ(at.x, TwipsToPixels(line.leftTwips));
    EXPECT_EQ(at.y, TwipsToPixels(line.topTwips));
    EXPECT_EQ(TextColorOf(line.label), line.color);
  }
  RECT graph{};
  ASSERT_TRUE(status_->Monitor());
  (void)::GetWindowRect(status_->Monitor()->Hwnd(), &graph);
  (void)::MapWindowPoints(nullptr, panel_.Hwnd(), reinterpret_cast<POINT*>(&graph), 2);
  EXPECT_EQ(graph.left, TwipsToPixels(720));
  EXPECT_EQ(graph.top, TwipsToPixels(3360));
}

TEST_F(StatusPanelTest, FiguresHandedToThePanelShowAsTheirTexts) {
  status_->SetLimitedCount(3);
  status_->SetMemoryUsage(47);
  status_->SetSpeed(L"14%");
  const std::wstring title = L"Bericht \u00fcber Gr\u00f6\u00dfe \u6587\u4ef6";
  status_->SetNowImproving(title);
  EXPECT_EQ(WindowText(status_->LimitedLabel().Hwnd()), L"3");
  EXPECT_EQ(WindowText(status_->MemoryLabel().Hwnd()), L"47%");
  EXPECT_EQ(WindowText(status_->SpeedLabel().Hwnd()), L"14%");
  EXPECT_EQ(WindowText(status_->NowImprovingLabel().Hwnd()), title)
      << "wide titles shown as they are";

  const std::wstring before = TimeOfDayText();
  status_->TimerStateTick();
  const std::wstring after = TimeOfDayText();
  const std::wstring shown = WindowText(status_->TimeLabel().Hwnd());
  EXPECT_NE(shown, L"time");
  EXPECT_TRUE(shown == before || shown == after) << "the clock shows the time of day";
}

// Counts the texts a static control receives: each one repaints it.
LRESULT CALLBACK CountSetText(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR count) {
  if (message == WM_SETTEXT) ++*reinterpret_cast<int*>(count);
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

TEST_F(StatusPanelTest, ALabelIsRewrittenOnlyWhenItsTextChanges) {
  const HWND label = status_->MemoryLabel().Hwnd();
  status_->SetMemoryUsage(50);
  int texts = 0;
  ASSERT_TRUE(::SetWindowSubclass(label, CountSetText, 1, reinterpret_cast<DWORD_PTR>(&texts)));
  status_->SetMemoryUsage(50);
  status_->SetMemoryUsage(50);
  EXPECT_EQ(texts, 0) << "the same figure fifty times a second costs no repaint";
  status_->SetMemoryUsage(51);
  EXPECT_EQ(texts, 1);
  (void)::RemoveWindowSubclass(label, CountSetText, 1);
}

}  // namespace
}  // namespace quorvant::win32
