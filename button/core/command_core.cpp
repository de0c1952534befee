#include "button/core/command_core.h"

#include "button/core/access_key.h"

namespace quorvant::button {

namespace {

std::int16_t ReadPercent(const PropertyBag& bag, std::int16_t whenAbsent) {
  return static_cast<std::int16_t>(bag.ReadNumberIn(key::kPercent, 0, kMaxPercent, whenAbsent));
}

FontDesc ReadFont(const PropertyBag& bag, const FontDesc& whenAbsent) {
  const PropertyValue value = bag.Read(key::kFont, whenAbsent);
  if (const auto* font = std::get_if<FontDesc>(&value)) return *font;
  return whenAbsent;
}

PropertyValue Int(std::int64_t value) { return value; }

}  // namespace

CommandCore::CommandCore(Canvas& surface, CommandHost& host) : surface_(surface), host_(host) {
  ApplyColorScheme();
}

void CommandCore::ApplyColorScheme() {
  const SchemeInputs inputs{props_.colorScheme, props_.buttonType, props_.backColor,
                            props_.foreColor};
  palette_ =
      button::ApplyColorScheme(inputs, host_.GetSystemColors(), props_.gradient, props_.officeXp);
}

void CommandCore::UpdateAccessKey() { accessKey_ = button::UpdateAccessKey(props_.caption); }

void CommandCore::InitNew(std::wstring_view instanceName, const FontDesc& surfaceFont) {
  const SystemColors system = host_.GetSystemColors();
  props_ = ButtonProperties{};
  props_.backColor = system.buttonFace;
  props_.foreColor = system.buttonText;
  props_.font = surfaceFont;
  props_.caption = std::wstring(instanceName);
  buttonState_ = ButtonState::Up;
  surface_.SetFont(props_.font);
  ApplyColorScheme();
  UpdateAccessKey();
  host_.CaptionChanged(props_.caption);
}

void CommandCore::ReadProperties(const PropertyBag& bag) {
  const SystemColors system = host_.GetSystemColors();
  props_.backColor = bag.ReadColor(key::kBackColor, system.buttonFace);
  props_.foreColor = bag.ReadColor(key::kForeColor, system.buttonText);
  props_.enabled = bag.ReadFlag(key::kEnabled, true);
  props_.font = ReadFont(bag, host_.AmbientFont());
  props_.hWnd = bag.ReadInt32(key::kHwnd, 0);
  props_.buttonType = bag.ReadInt32(key::kButtonType, kXpStyle);
  props_.xpType = bag.ReadInt32(key::kXpType, kXpBlue);
  props_.caption = bag.ReadText(key::kCaption, kDefaultCaption);
  props_.colorScheme = bag.ReadInt32(key::kColorScheme, kSystemColors);
  props_.showFocusRect = bag.ReadFlag(key::kShowFocusRect, true);

  host_.EnableWindow(props_.enabled);
  surface_.SetFont(props_.font);
  // The scheme runs before the colours are read, so stored colours win over its presets.
  ApplyColorScheme();
  UpdateAccessKey();
  host_.CaptionChanged(props_.caption);

  props_.rectColor = bag.ReadColor(key::kRectColor, kDefaultRectColor);
  props_.percent = ReadPercent(bag, kDefaultPercent);
  GradientColors& g = props_.gradient;
  g.midColor = bag.ReadColor(key::kMidColor, kDefaultGradient.midColor);
  g.endColor = bag.ReadColor(key::kEndColor, kDefaultGradient.endColor);
  g.mouseMoveEndColor = bag.ReadColor(key::kMouseMoveEndColor, kDefaultGradient.mouseMoveEndColor);
  g.mouseMoveMidColor = bag.ReadColor(key::kMouseMoveMidColor, kDefaultGradient.mouseMoveMidColor);
  g.mouseDownEndColor = bag.ReadColor(key::kMouseDownEndColor, kDefaultGradient.mouseDownEndColor);
  g.mouseDownMidColor = bag.ReadColor(key::kMouseDownMidColor, kDefaultGradient.mouseDownMidColor);
  OfficeXpColors& o = props_.officeXp;
  o.fillColor = bag.ReadColor(key::kOfficeXpFillColor, kDefaultOfficeXp.fillColor);
  o.frameColor = bag.ReadColor(key::kOfficeXpFrameColor, kDefaultOfficeXp.frameColor);
  o.mousemoveFillColor =
      bag.ReadColor(key::kOfficeXpMousemoveFillColor, kDefaultOfficeXp.mousemoveFillColor);
  o.mousemoveFrameColor =
      bag.ReadColor(key::kOfficeXpMousemoveFrameColor, kDefaultOfficeXp.mousemoveFrameColor);

  buttonState_ = ButtonState::Up;
  DrawButton(ButtonState::Up, true);
}

void CommandCore::WriteProperties(PropertyBag& bag) const {
  const SystemColors system = host_.GetSystemColors();
  const ButtonProperties& p = props_;
  bag.Write(key::kBackColor, Int(p.backColor), Int(system.buttonFace));
  bag.Write(key::kForeColor, Int(p.foreColor), Int(system.buttonText));
  bag.Write(key::kEnabled, PersistedFlag(p.enabled), PersistedFlag(true));
  bag.Write(key::kFont, p.font, host_.AmbientFont());
  bag.Write(key::kHwnd, Int(p.hWnd), Int(0));
  bag.Write(key::kButtonType, Int(p.buttonType), Int(kXpStyle));
  bag.Write(key::kXpType, Int(p.xpType), Int(kXpBlue));
  bag.Write(key::kCaption, p.caption, std::wstring(kDefaultCaption));
  bag.Write(key::kColorScheme, Int(p.colorScheme), Int(kSystemColors));
  bag.Write(key::kShowFocusRect, PersistedFlag(p.showFocusRect), PersistedFlag(true));
  bag.Write(key::kRectColor, Int(p.rectColor), Int(kDefaultRectColor));
  bag.Write(key::kPercent, Int(p.percent), Int(kDefaultPercent));
  const GradientColors& g = p.gradient;
  const GradientColors& d = kDefaultGradient;
  bag.Write(key::kMidColor, Int(g.midColor), Int(d.midColor));
  bag.Write(key::kEndColor, Int(g.endColor), Int(d.endColor));
  bag.Write(key::kMouseMoveMidColor, Int(g.mouseMoveMidColor), Int(d.mouseMoveMidColor));
  bag.Write(key::kMouseMoveEndColor, Int(g.mouseMoveEndColor), Int(d.mouseMoveEndColor));
  bag.Write(key::kMouseDownMidColor, Int(g.mouseDownMidColor), Int(d.mouseDownMidColor));
  bag.Write(key::kMouseDownEndColor, Int(g.mouseDownEndColor), Int(d.mouseDownEndColor));
  const OfficeXpColors& o = p.officeXp;
  const OfficeXpColors& od = kDefaultOfficeXp;
  bag.Write(key::kOfficeXpFillColor, Int(o.fillColor), Int(od.fillColor));
  bag.Write(key::kOfficeXpFrameColor, Int(o.frameColor), Int(od.frameColor));
  bag.Write(key::kOfficeXpMousemoveFillColor, Int(o.mousemoveFillColor),
            Int(od.mousemoveFillColor));
  bag.Write(key::kOfficeXpMousemoveFrameColor, Int(o.mousemoveFrameColor),
            Int(od.mousemoveFrameColor));
}

// ---- Property writes ----

void CommandCore::SetBackColor(Color value) {
  props_.backColor = value;
  ApplyColorScheme();
  Redraw();
  Changed(key::kBackColor);
}

void CommandCore::SetForeColor(Color value) {
  props_.foreColor = value;
  ApplyColorScheme();
  Redraw();
  Changed(key::kForeColor);
}

void CommandCore::SetEnabled(bool value) {
  props_.enabled = value;
  host_.EnableWindow(value);
  OnResize(geometry_.width, geometry_.height);
  Changed(key::kEnabled);
}

void CommandCore::SetFont(const FontDesc& value) {
  props_.font = value;
  surface_.SetFont(value);
  Redraw();
  Changed(key::kFont);
}

PropertyError CommandCore::SetHWnd(std::int32_t /*value*/) {
  return host_.AmbientUserMode() ? PropertyError::kNotSupportedAtRunTime
                                 : PropertyError::kNotPermitted;
}

void CommandCore::SetButtonType(std::int32_t value) {
  props_.buttonType = value;
  ApplyColorScheme();
  // Becoming a glass button starts it out blue, after the scheme's grey preset.
  if (value == kGlassGradient) {
    props_.percent = kGlassPresetPercent;
    props_.gradient = kGlassPreset;
  }
  OnResize(geometry_.width, geometry_.height);
  Changed(key::kButtonType);
}

void CommandCore::SetCaption(std::wstring_view value) {
  props_.caption = std::wstring(value);
  UpdateAccessKey();
  host_.CaptionChanged(props_.caption);
  Redraw();
  Changed(key::kCaption);
}

void CommandCore::SetColorScheme(std::int32_t value) {
  props_.colorScheme = value;
  ApplyColorScheme();
  Redraw();
  Changed(key::kColorScheme);
}

void CommandCore::SetXpType(std::int32_t value) {
  props_.xpType = value;
  Redraw();
  Changed(key::kXpType);
}

void CommandCore::SetRectColor(Color value) {
  props_.rectColor = value;
  Changed(key::kRectColor);
}

void CommandCore::SetShowFocusRect(bool value) {
  props_.showFocusRect = value;
  Redraw();
  Changed(key::kShowFocusRect);
}

PropertyError CommandCore::SetPercent(int value) {
  if (value < 0 || value > kMaxPercent) return PropertyError::kInvalidPropertyValue;
  props_.percent = static_cast<std::int16_t>(value);
  Redraw();
  Changed(key::kPercent);
  return PropertyError::kNone;
}

void CommandCore::SetGradientColor(Color GradientColors::*member, Color value,
                                   std::wstring_view key) {
  props_.gradient.*member = value;
  Redraw();
  Changed(key);
}

void CommandCore::SetOfficeXpColor(Color OfficeXpColors::*member, Color value,
                                   std::wstring_view key) {
  props_.officeXp.*member = value;
  Redraw();
  Changed(key);
}

void CommandCore::SetMidColor(Color value) {
  SetGradientColor(&GradientColors::midColor, value, key::kMidColor);
}
void CommandCore::SetEndColor(Color value) {
  SetGradientColor(&GradientColors::endColor, value, key::kEndColor);
}
void CommandCore::SetMouseMoveMidColor(Color value) {
  SetGradientColor(&GradientColors::mouseMoveMidColor, value, key::kMouseMoveMidColor);
}
void CommandCore::SetMouseMoveEndColor(Color value) {
  SetGradientColor(&GradientColors::mouseMoveEndColor, value, key::kMouseMoveEndColor);
}
void CommandCore::SetMouseDownMidColor(Color value) {
  SetGradientColor(&GradientColors::mouseDownMidColor, value, key::kMouseDownMidColor);
}
void CommandCore::SetMouseDownEndColor(Color value) {
  SetGradientColor(&GradientColors::mouseDownEndColor, value, key::kMouseDownEndColor);
}
void CommandCore::SetOfficeXpFillColor(Color value) {
  SetOfficeXpColor(&OfficeXpColors::fillColor, value, key::kOfficeXpFillColor);
}
void CommandCore::SetOfficeXpFrameColor(Color value) {
  SetOfficeXpColor(&OfficeXpColors::frameColor, value, key::kOfficeXpFrameColor);
}
void CommandCore::SetOfficeXpMousemoveFillColor(Color value) {
  SetOfficeXpColor(&OfficeXpColors::mousemoveFillColor, value, key::kOfficeXpMousemoveFillColor);
}
void CommandCore::SetOfficeXpMousemoveFrameColor(Color value) {
  SetOfficeXpColor(&OfficeXpColors::mousemoveFrameColor, value, key::kOfficeXpMousemoveFrameColor);
}

// ---- Drawing ----

void CommandCore::DrawButton(ButtonState state, bool force) {
  if (!force && props_.caption == lastDrawnCaption_ && state == buttonState_) return;
  // Not sized yet. A zero width is refused too: the caption's line count divides by it.
  if (geometry_.height == 0 || geometry_.width == 0) return;
  buttonState_ = state;
  lastDrawnCaption_ = props_.caption;

  LookFlags flags;
  flags.isHovering = isHovering_;
  flags.focusWanted = hasFocus_ && props_.showFocusRect;
  flags.defaultLook =
      (props_.showFocusRect && host_.AmbientDisplayAsDefault()) || flags.focusWanted;
  ButtonPainter(surface_, props_, palette_, geometry_, flags).Paint(state);
  host_.Invalidate();
}

// ---- Input ----

void CommandCore::StartHoverTimer() {
  if (hoverTimerRunning_) return;
  hoverTimerRunning_ = true;
  host_.StartHoverTimer();
}

void CommandCore::StopHoverTimer() {
  if (!hoverTimerRunning_) return;
  hoverTimerRunning_ = false;
  host_.StopHoverTimer();
}

void CommandCore::OnMouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!props_.enabled) return;
  lastButton_ = static_cast<std::uint8_t>(button & 0xFF);
  // The right button never shows the pressed look.
  if (button != kRightButton) buttonState_ = ButtonState::Down;
  DrawButton(buttonState_, true);
  if (events.mouseDown) events.mouseDown(button, shift, x, y);
}

void CommandCore::OnMouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!props_.enabled) return;
  if (button != kRightButton) buttonState_ = ButtonState::Up;
  DrawButton(buttonState_, true);
  if (events.mouseUp) events.mouseUp(button, shift, x, y);
}

void CommandCore::OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  if (button != 0 && button != kLeftButton) return;
  if (!props_.enabled) return;
  StartHoverTimer();
  const bool inside = x >= 0 && x <= static_cast<float>(geometry_.width) && y >= 0 &&
                      y <= static_cast<float>(geometry_.height);
  if (!inside) return;
  if (events.mouseMove) events.mouseMove(button, shift, x, y);
  if (button == kLeftButton) {
    // Back over the button with the left button still held: pressed again.
    DrawButton(ButtonState::Down, false);
  } else if (!isHovering_) {
    isHovering_ = true;
    DrawButton(ButtonState::Up, true);
  }
}

void CommandCore::OnTimerTick() {
  const PixelPoint cursor = host_.CursorPosition();
  const bool outside =
      cursor.x < 0 || cursor.y < 0 || cursor.x > geometry_.width || cursor.y > geometry_.height;
  if (!outside) return;
  StopHoverTimer();
  if (events.mouseOut) events.mouseOut();
  isHovering_ = false;
  DrawButton(ButtonState::Up, true);
}

void CommandCore::OnClick() {
  if (!props_.enabled) return;
  if (lastButton_ == kLeftButton) buttonState_ = ButtonState::Up;
  DrawButton(buttonState_, true);
  // The new look is on screen before the form's handler runs.
  host_.Refresh();
  if (events.click) events.click();
}

void CommandCore::OnDblClick() {
  if (!props_.enabled || lastButton_ != kLeftButton) return;
  // The second press of a double click shows the pressed look; Click is raised once.
  OnMouseDown(kLeftButton, kShiftMask, 1.0f, 1.0f);
}

void CommandCore::OnKeyDown(std::int16_t keyCode, std::int16_t shift) {
  if (!props_.enabled) return;
  if (events.keyDown) events.keyDown(keyCode, shift);
  lastKeyCode_ = static_cast<std::uint8_t>(keyCode & 0xFF);
  if (keyCode == kKeySpace) OnMouseDown(kLeftButton, kShiftMask, 1.0f, 1.0f);
  if (keyCode == kKeyRight || keyCode == kKeyDown) host_.MoveFocus(true);
  if (keyCode == kKeyLeft || keyCode == kKeyUp) host_.MoveFocus(false);
}

void CommandCore::OnKeyPress(std::int16_t keyAscii) {
  if (!props_.enabled) return;
  if (events.keyPress) events.keyPress(keyAscii);
}

void CommandCore::OnKeyUp(std::int16_t keyCode, std::int16_t shift) {
  if (!props_.enabled) return;
  if (events.keyUp) events.keyUp(keyCode, shift);
  if (lastKeyCode_ == kKeySpace && keyCode == kKeySpace) {
    // One space press is one click: a later release of space without a new press on
    // this button must not click again.
    lastKeyCode_ = 0;
    OnMouseUp(kLeftButton, kShiftMask, 1.0f, 1.0f);
    lastButton_ = kLeftButton;
    OnClick();
  }
}

void CommandCore::OnAccessKeyPress() { OnClick(); }

void CommandCore::OnGotFocus() {
  hasFocus_ = true;
  Redraw();
}

void CommandCore::OnLostFocus() {
  hasFocus_ = false;
  // A space pressed here and released elsewhere is not a click of this button.
  lastKeyCode_ = 0;
  Redraw();
}

void CommandCore::OnAmbientChanged() { Redraw(); }

void CommandCore::OnResize(int width, int height) {
  geometry_.width = width;
  geometry_.height = height;
  geometry_.rcAll.right = geometry_.rcText.right = width;
  geometry_.rcAll.bottom = geometry_.rcText.bottom = height;
  geometry_.rcFocus = {2, 2, width - 2, height - 2};
  host_.SetWindowRegion(BuildRegion(props_.buttonType, width, height));
  Redraw();
}

}  // namespace quorvant::button
