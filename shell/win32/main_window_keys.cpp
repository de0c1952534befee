#include "shell/win32/main_window_keys.h"

namespace quorvant::win32 {

namespace {
bool KeyHeld(int virtualKey) { return ::GetKeyState(virtualKey) < 0; }
}  // namespace

bool MainWindowKeys::OnKeyPreview(const MSG& msg) {
  if (buttons_.PreTranslateMessage(msg)) return true;
  // An open drop-down list keeps its own Esc and Enter.
  if (msg.message != WM_KEYDOWN || FocusedControlWants(msg)) return false;
  const shell::PanelStep step =
      shell::PanelStepForKey(static_cast<std::uint32_t>(msg.wParam), KeyHeld(VK_CONTROL),
                             KeyHeld(VK_SHIFT), KeyHeld(VK_MENU));
  if (step != shell::PanelStep::None) {
    actions_.select(shell::StepEntry(actions_.selected(), step));
    return true;
  }
  if (msg.wParam == VK_ESCAPE) {
    actions_.hide();
    return true;
  }
  return false;
}

void MainWindowKeys::PanelChanged() {
  if (::GetActiveWindow() == window_ && !::IsIconic(window_)) {
    focus_.FocusFirst();
  } else {
    focus_.Forget();
  }
}

void MainWindowKeys::Shown() {
  // A minimised window stays minimised and keeps the keys itself.
  if (::IsIconic(window_)) return;
  // Keys go to the foreground window only.
  (void)::SetForegroundWindow(window_);
  focus_.FocusFirst();
}

}  // namespace quorvant::win32
