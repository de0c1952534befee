#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "button/core/button_painter.h"
#include "button/core/button_properties.h"
#include "button/core/button_region.h"
#include "button/core/color_scheme.h"
#include "common/core/canvas.h"
#include "common/core/property_bag.h"

namespace quorvant::button {

// Mouse buttons and the keys the button reacts to, as the platform numbers them.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;
inline constexpr std::int16_t kShiftMask = 1;
inline constexpr std::int16_t kKeySpace = 32;
inline constexpr std::int16_t kKeyLeft = 37;
inline constexpr std::int16_t kKeyUp = 38;
inline constexpr std::int16_t kKeyRight = 39;
inline constexpr std::int16_t kKeyDown = 40;

struct PixelPoint {
  int x = 0;
  int y = 0;
};

// What the button needs from the window that holds it and from the form around it.
class CommandHost {
 public:
  virtual ~CommandHost() = default;

  // Read each time the colour scheme is applied and whenever a default is needed.
  virtual SystemColors GetSystemColors() const = 0;
  // The form's font, assumed when no font is stored.
  virtual FontDesc AmbientFont() const { return {}; }
  // The form shows this button as its default button.
  virtual bool AmbientDisplayAsDefault() const { return false; }
  // Run mode (true) or the form designer (false); decides the hWnd write error.
  virtual bool AmbientUserMode() const { return true; }
  virtual std::uintptr_t WindowHandle() const { return 0; }

  virtual void EnableWindow(bool /*enabled*/) {}
  virtual void SetWindowRegion(const ButtonRegion& /*region*/) {}
  // The surface changed; show it when the window next paints.
  virtual void Invalidate() {}
  // Put the surface on screen now.
  virtual void Refresh() {}
  virtual void StartHoverTimer() {}
  virtual void StopHoverTimer() {}
  // The cursor in client coordinates of the button.
  virtual PixelPoint CursorPosition() const = 0;
  // Tab (forward) or Shift+Tab to the window with the focus.
  virtual void MoveFocus(bool /*forward*/) {}
  // A property was written: the container saves it.
  virtual void PropertyChanged(std::wstring_view /*key*/) {}
  virtual void CaptionChanged(std::wstring_view /*caption*/) {}
};

// The events raised to the form, in their order of declaration. Arguments are passed by
// reference: the form may change them, and the button reads KeyCode back after KeyDown.
struct CommandEvents {
  using KeyHandler = std::function<void(std::int16_t& keyCode, std::int16_t& shift)>;
  using MouseHandler =
      std::function<void(std::int16_t& button, std::int16_t& shift, float& x, float& y)>;

  std::function<void()> click;
  KeyHandler keyDown;
  std::function<void(std::int16_t& keyAscii)> keyPress;
  KeyHandler keyUp;
  MouseHandler mouseDown;
  MouseHandler mouseMove;
  MouseHandler mouseUp;
  std::function<void()> mouseOut;
};

// The push button without its window: properties and their persistence, the palette,
// DrawButton onto the surface and the input state machine. The window glue forwards
// the platform's notifications to the On... handlers.
class CommandCore {
 public:
  // Creation: `lastButton` 1, palette from the (still empty) properties.
  CommandCore(Canvas& surface, CommandHost& host);
  CommandCore(const CommandCore&) = delete;
  CommandCore& operator=(const CommandCore&) = delete;

  CommandEvents events;

  // A button placed on a form for the first time: its name as caption, the surface's font.
  void InitNew(std::wstring_view instanceName, const FontDesc& surfaceFont);
  void ReadProperties(const PropertyBag& bag);
  // Stores only what differs from the value assumed when absent.
  void WriteProperties(PropertyBag& bag) const;

  // Properties. Each write ends by telling the host the property changed.
  const ButtonProperties& Properties() const { return props_; }
  const ButtonPalette& Palette() const { return palette_; }
  std::uintptr_t HWnd() const { return host_.WindowHandle(); }
  void SetBackColor(Color value);
  void SetForeColor(Color value);
  void SetEnabled(bool value);
  void SetFont(const FontDesc& value);
  // The window handle cannot be written: 387 in the designer, 382 at run time.
  [[nodiscard]] PropertyError SetHWnd(std::int32_t value);
  void SetButtonType(std::int32_t value);
  void SetCaption(std::wstring_view value);
  void SetColorScheme(std::int32_t value);
  void SetXpType(std::int32_t value);
  // Shows only at the next redraw.
  void SetRectColor(Color value);
  void SetShowFocusRect(bool value);
  // 0..100; anything else is refused with 380.
  [[nodiscard]] PropertyError SetPercent(int value);
  void SetMidColor(Color value);
  void SetEndColor(Color value);
  void SetMouseMoveMidColor(Color value);
  void SetMouseMoveEndColor(Color value);
  void SetMouseDownMidColor(Color value);
  void SetMouseDownEndColor(Color value);
  void SetOfficeXpFillColor(Color value);
  void SetOfficeXpFrameColor(Color value);
  void SetOfficeXpMousemoveFillColor(Color value);
  void SetOfficeXpMousemoveFrameColor(Color value);

  // Run-time state.
  ButtonState State() const { return buttonState_; }
  bool IsHovering() const { return isHovering_; }
  bool HasFocus() const { return hasFocus_; }
  std::uint8_t LastButton() const { return lastButton_; }
  std::uint8_t LastKeyCode() const { return lastKeyCode_; }
  std::optional<wchar_t> AccessKey() const { return accessKey_; }
  const ButtonGeometry& Geometry() const { return geometry_; }
  bool HoverTimerRunning() const { return hoverTimerRunning_; }

  // Paints the button for state; without force, only when the state or the caption
  // differs from the last drawing.
  void DrawButton(ButtonState state, bool force);

  // Notifications of the button's window. All but the access key, focus, resize,
  // ambient and timer handlers do nothing while the button is disabled.
  void OnMouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void OnMouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  // button is the set of buttons held: 0 none, 1 left, ...
  void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void OnClick();
  void OnDblClick();
  void OnKeyDown(std::int16_t keyCode, std::int16_t shift);
  void OnKeyPress(std::int16_t keyAscii);
  void OnKeyUp(std::int16_t keyCode, std::int16_t shift);
  // The caption's access key, or the form's default or cancel key routed to this button.
  void OnAccessKeyPress();
  void OnGotFocus();
  void OnLostFocus();
  void OnAmbientChanged();
  // Also run by writes of Enabled and ButtonType.
  void OnResize(int width, int height);
  // The 10 ms hover poll.
  void OnTimerTick();

 private:
  void ApplyColorScheme();
  void UpdateAccessKey();
  void Redraw() { DrawButton(buttonState_, true); }
  void Changed(std::wstring_view key) { host_.PropertyChanged(key); }
  void SetGradientColor(Color GradientColors::*member, Color value, std::wstring_view key);
  void SetOfficeXpColor(Color OfficeXpColors::*member, Color value, std::wstring_view key);
  void StartHoverTimer();
  void StopHoverTimer();

  Canvas& surface_;
  CommandHost& host_;
  ButtonProperties props_;
  ButtonPalette palette_;
  ButtonGeometry geometry_;
  ButtonState buttonState_ = ButtonState::Up;
  bool isHovering_ = false;
  bool hasFocus_ = false;
  std::uint8_t lastButton_ = 1;
  std::uint8_t lastKeyCode_ = 0;
  std::wstring lastDrawnCaption_;
  std::optional<wchar_t> accessKey_;
  bool hoverTimerRunning_ = false;
};

}  // namespace quorvant::button
