#include "shell/win32/main_window_skin.h"

#include <windowsx.h>

#include "common/win32/display_scale.h"
#include "common/win32/gdi_canvas.h"
#include "common/win32/panel.h"
#include "common/win32/pixel_rect.h"
#include "shell/core/fixed_texts.h"
#include "shell/core/skin_access.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

using shell::TwipsToPixels;

constexpr std::array<std::array<int, 2>, shell::kEntryCount> kNavBitmaps{{
    {IDB_NAV_STATE_0, IDB_NAV_STATE_1},
    {IDB_NAV_PROCESS_0, IDB_NAV_PROCESS_1},
    {IDB_NAV_CPU_0, IDB_NAV_CPU_1},
    {IDB_NAV_MEMORY_0, IDB_NAV_MEMORY_1},
    {IDB_NAV_SETTING_0, IDB_NAV_SETTING_1},
    {IDB_NAV_ABOUT_0, IDB_NAV_ABOUT_1},
}};

constexpr size_t Index(shell::Entry entry) { return static_cast<size_t>(entry); }

}  // namespace

void MainWindowSkin::LayOut() {
  background_ = LoadSkinBitmap(IDB_BACKGROUND);

  auto place = [](auto& pictures, std::initializer_list<int> ids, RECT rect) {
    size_t i = 0;
    for (const int id : ids) {
      pictures[i].bitmap = LoadSkinBitmap(id);
      pictures[i].rect = rect;
      ++i;
    }
  };
  place(imageMin_, {IDB_MIN_0, IDB_MIN_1, IDB_MIN_2},
        PixelRect({shell::kImageMinTwips.x, shell::kImageMinTwips.y, shell::kTitleButtonWidthTwips,
                   shell::kTitleButtonHeightTwips}));
  place(imageExit_, {IDB_EXIT_0, IDB_EXIT_1, IDB_EXIT_2},
        PixelRect({shell::kImageExitTwips.x, shell::kImageExitTwips.y,
                   shell::kTitleButtonWidthTwips, shell::kTitleButtonHeightTwips}));
  for (const auto& entry : shell::kEntries) {
    auto& pictures = navImages_[Index(entry.entry)];
    const auto& ids = kNavBitmaps[Index(entry.entry)];
    place(pictures, {ids[0], ids[1]},
          PixelRect({shell::kNavPictureLeftTwips, entry.pictureTopTwips,
                     shell::kNavPictureWidthTwips, shell::kNavPictureHeightTwips}));
  }
  // Labels are as large as their text, so the mouse finds them where they are drawn.
  auto labelRect = [](const std::wstring& text, int left, int top, HFONT font) {
    return LabelRect(text, TwipsToPixels(left), TwipsToPixels(top), font);
  };
  labels_.clear();
  for (const auto& entry : shell::kEntries) {
    std::wstring text(entry.labelText);
    const HFONT font = fonts_.Get(FontDesc{});
    const RECT rect = labelRect(text, entry.labelLeftTwips, entry.labelTopTwips, font);
    labels_.push_back({std::move(text), rect, font, shell::kNavLabelWhite, entry.entry});
  }
  for (const auto& fixed : shell::kFrameTexts) {
    std::wstring text(fixed.text);
    const HFONT font = fonts_.Get(fixed.Font());
    const RECT rect = labelRect(text, fixed.leftTwips, fixed.topTwips, font);
    labels_.push_back({std::move(text), rect, font, fixed.color, std::nullopt});
  }
}

MainWindowSkin::Hit MainWindowSkin::HitTest(POINT at) const {
  // Only the navigation labels take the mouse; the frame's texts let it through, so the
  // title strip drags wherever it is, under "Morwick" too.
  for (const auto& label : labels_) {
    if (label.entry && ::PtInRect(&label.rect, at)) return {Hit::Kind::NavEntry, label.entry};
  }
  if (::PtInRect(&imageMin_[0].rect, at)) return {Hit::Kind::Minimise, {}};
  if (::PtInRect(&imageExit_[0].rect, at)) return {Hit::Kind::Close, {}};
  const RECT caption = PixelRect({shell::kImageCaptionTwips.x, shell::kImageCaptionTwips.y,
                                  shell::kImageCaptionWidthTwips, shell::kImageCaptionHeightTwips});
  if (::PtInRect(&caption, at)) return {Hit::Kind::Caption, {}};
  for (const auto& layout : shell::kEntries) {
    if (::PtInRect(&navImages_[Index(layout.entry)][0].rect, at)) {
      return {Hit::Kind::NavEntry, layout.entry};
    }
  }
  return {Hit::Kind::Background, {}};
}

void MainWindowSkin::OnMouseDown(shell::MouseButton button, POINT at) {
  const Hit hit = HitTest(at);
  switch (hit.kind) {
    case Hit::Kind::Minimise:
    case Hit::Kind::Close:
      (hit.kind == Hit::Kind::Minimise ? imageMinButton_ : imageExitButton_).MouseDown(button);
      InvalidateTitleButtons();
      break;
    case Hit::Kind::Caption:
      if (button == shell::MouseButton::Left) {
        // The system moves the window while the button is held.
        (void)::ReleaseCapture();
        (void)::SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      return;
    case Hit::Kind::NavEntry:
      if (button != shell::MouseButton::Left) return;
      break;
    default:
      return;
  }
  pressed_ = hit;
  (void)::SetCapture(hwnd_);
}

void MainWindowSkin::OnMouseMove(POINT at) {
  // While a title-bar button holds the mouse, every move goes to it.
  Hit hit =
      pressed_ && (pressed_->kind == Hit::Kind::Minimise || pressed_->kind == Hit::Kind::Close)
          ? *pressed_
          : HitTest(at);
  switch (hit.kind) {
    case Hit::Kind::Minimise:
      imageMinButton_.MouseMove();
      break;
    case Hit::Kind::Close:
      imageExitButton_.MouseMove();
      break;
    case Hit::Kind::Background:
      imageMinButton_.BackgroundMove();
      imageExitButton_.BackgroundMove();
      break;
    default:
      return;
  }
  InvalidateTitleButtons();
}

void MainWindowSkin::OnMouseUp(shell::MouseButton button, POINT at) {
  if (!pressed_) return;
  const Hit pressed = *pressed_;
  pressed_.reset();
  if (::GetCapture() == hwnd_) (void)::ReleaseCapture();
  const bool releasedOver = HitTest(at) == pressed;
  const bool leftClick = button == shell::MouseButton::Left && releasedOver;

  if (pressed.kind == Hit::Kind::Minimise || pressed.kind == Hit::Kind::Close) {
    shell::TitleButton& titleButton =
        pressed.kind == Hit::Kind::Minimise ? imageMinButton_ : imageExitButton_;
    shell::TitleButton::Action action = titleButton.MouseUp(button);
    if (action == shell::TitleButton::Action::None && leftClick) action = titleButton.Click();
    InvalidateTitleButtons();
    actions_.title(action);
    return;
  }
  if (pressed.kind == Hit::Kind::NavEntry && leftClick) actions_.select(*pressed.entry);
}

void MainWindowSkin::InvalidateTitleButtons() {
  (void)::InvalidateRect(hwnd_, &imageMin_[0].rect, FALSE);
  (void)::InvalidateRect(hwnd_, &imageExit_[0].rect, FALSE);
  accessible_.Update();
}

namespace {

access::Box BoxOf(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

}  // namespace

access::Tree MainWindowSkin::AccessibleTree() const {
  shell::SkinFacts facts;
  wchar_t title[64] = {};
  RECT client{};
  if (hwnd_) {
    (void)::GetWindowTextW(hwnd_, title, 64);
    (void)::GetClientRect(hwnd_, &client);
  }
  facts.windowName = title;
  facts.client = BoxOf(client);
  for (const auto& layout : shell::kEntries) {
    facts.entries[Index(layout.entry)] = BoxOf(navImages_[Index(layout.entry)][0].rect);
  }
  facts.selected = navigation_.Selected();
  facts.minimise = BoxOf(imageMin_[0].rect);
  facts.close = BoxOf(imageExit_[0].rect);
  facts.minimiseLook = imageMinButton_.CurrentLook();
  facts.closeLook = imageExitButton_.CurrentLook();
  return shell::SkinTree(facts);
}

void MainWindowSkin::DoDefaultAction(int node) {
  const shell::SkinAction action = shell::SkinDefaultAction(node);
  switch (action.kind) {
    case shell::SkinAction::Kind::Select:
      actions_.select(action.entry);
      break;
    case shell::SkinAction::Kind::Minimise:
      actions_.title(shell::TitleButton::Action::Minimise);
      break;
    case shell::SkinAction::Kind::Hide:
      actions_.title(shell::TitleButton::Action::Hide);
      break;
    case shell::SkinAction::Kind::None:
      break;
  }
}

void MainWindowSkin::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  (void)::GetClientRect(hwnd_, &client);
  // Composed off screen so the skin never flickers.
  unique_hdc memory(::CreateCompatibleDC(dc));
  unique_hbitmap canvas(::CreateCompatibleBitmap(dc, client.right, client.bottom));
  {
    ScopedSelect selectCanvas(memory.get(), canvas.get());
    DrawBitmap(memory.get(), background_.get(), 0, 0);
    auto draw = [&](const SkinPicture& picture) {
      DrawBitmap(memory.get(), picture.bitmap.get(), picture.rect.left, picture.rect.top);
    };
    for (const auto& layout : shell::kEntries) {
      draw(navImages_[Index(layout.entry)][navigation_.PictureIndex(layout.entry)]);
    }
    draw(imageMin_[static_cast<size_t>(imageMinButton_.CurrentLook())]);
    draw(imageExit_[static_cast<size_t>(imageExitButton_.CurrentLook())]);
    (void)::SetBkMode(memory.get(), TRANSPARENT);
    for (const auto& label : labels_) {
      DrawLabel(memory.get(), label.text, {label.rect.left, label.rect.top}, label.font,
                label.color ? *label.color : ::GetSysColor(COLOR_BTNTEXT));
    }
    (void)::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
  }
  (void)::EndPaint(hwnd_, &ps);
}

void MainWindowSkin::OnCaptureChanged(HWND to) {
  if (to != hwnd_) pressed_.reset();
}

bool MainWindowSkin::HandleMouse(UINT message, LPARAM lParam) {
  const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Left, at);
      return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Right, at);
      return true;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      OnMouseDown(shell::MouseButton::Middle, at);
      return true;
    case WM_LBUTTONUP:
      OnMouseUp(shell::MouseButton::Left, at);
      return true;
    case WM_RBUTTONUP:
      OnMouseUp(shell::MouseButton::Right, at);
      return true;
    case WM_MBUTTONUP:
      OnMouseUp(shell::MouseButton::Middle, at);
      return true;
    case WM_MOUSEMOVE:
      OnMouseMove(at);
      return true;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(reinterpret_cast<HWND>(lParam));
      return true;
    default:
      return false;
  }
}

}  // namespace quorvant::win32
