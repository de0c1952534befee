#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "common/core/accessibility.h"

namespace quorvant::win32 {

// What a control the program draws itself tells the object that speaks for it to screen
// readers. Boxes are in the window's client pixels; the root's box is the client area.
class AccessibleSource {
 public:
  virtual ~AccessibleSource() = default;
  virtual access::Tree AccessibleTree() const = 0;
  // The default action of node. Runs from the window's own message loop, never inside
  // the screen reader's call, so a message box it shows does not hold the reader up.
  virtual void DoDefaultAction(int node) = 0;
  // The node that holds the keyboard focus while the window has it.
  virtual int FocusedNode() const { return access::Tree::kRoot; }
};

// The accessible object of one window, as a member of the control that owns the window:
// it answers WM_GETOBJECT for the client area, raises the events a screen reader follows,
// and cuts every object it handed out loose when the window goes, so that a reader still
// holding one is told the object is gone instead of reaching freed memory.
class AccessibleHost {
 public:
  explicit AccessibleHost(AccessibleSource& source);
  ~AccessibleHost();
  AccessibleHost(const AccessibleHost&) = delete;
  AccessibleHost& operator=(const AccessibleHost&) = delete;

  // First in the window procedure. True when the message was the host's own; then result
  // is the window procedure's answer.
  bool HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // What the objects report may have changed: raises name, state, value, selection and
  // reorder events for what did. Nothing is raised while the window is hidden.
  void Update();
  // The keyboard focus is now on node.
  void NotifyFocus(int node = access::Tree::kRoot);
  // The window is going: every object handed out answers RPC_E_DISCONNECTED from now on.
  void Disconnect();

  // The child id under which the window's client object reports node in events.
  static long EventChildId(const access::Tree& tree, int node);

  struct Link;

 private:
  AccessibleSource& source_;
  std::shared_ptr<Link> link_;
  std::optional<access::Tree> reported_;
};

// Gives a standard control the name a screen reader reads for it, where its own text is
// not its name (a list view, a drop-down list) and the label beside it is painted. False
// when the system keeps no such names.
bool NameForScreenReaders(HWND control, const std::wstring& name);

// The platform's constants for the object model's roles and states.
long RoleConstant(access::Role role);
long StateConstant(access::States states);

}  // namespace quorvant::win32
