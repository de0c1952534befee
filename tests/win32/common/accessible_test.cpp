#include "common/win32/accessible.h"

#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "button/core/command_core.h"
#include "button/win32/command.h"
#include "monitor/core/cpu_monitor_state.h"
#include "monitor/win32/cpu_monitor_window.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"
#include "tests/win32/support/message_pump.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;
using test_support::PumpMessages;
using test_support::PumpUntil;

class ComApartment {
 public:
  ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

// A top-level window to hold the controls; shown only where events are the point, since
// nothing is announced for a hidden window.
class Form {
 public:
  explicit Form(bool shown) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvantAccessibleTestForm";
    (void)::RegisterClassExW(&wc);
    hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"form", WS_POPUP, 60, 50, 500,
                              200, nullptr, nullptr, wc.hInstance, nullptr);
    if (shown) (void)::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  }
  ~Form() { (void)::DestroyWindow(hwnd_); }
  HWND Hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

VARIANT Child(long id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

struct Accessible {
  explicit Accessible(HWND hwnd) {
    hr = ::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                      reinterpret_cast<void**>(&acc));
  }
  ~Accessible() {
    if (acc) acc->Release();
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                    long id = CHILDID_SELF, HRESULT* result = nullptr) const {
    BSTR text = nullptr;
    const HRESULT h = (acc->*get)(Child(id), &text);
    if (result) *result = h;
    std::wstring s = text ? text : L"";
    ::SysFreeString(text);
    return s;
  }
  std::wstring Name() const { return Text(&IAccessible::get_accName); }
  long Role() const {
    VARIANT v;
    ::VariantInit(&v);
    return SUCCEEDED(acc->get_accRole(Child(CHILDID_SELF), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }
  long State() const {
    VARIANT v;
    ::VariantInit(&v);
    return SUCCEEDED(acc->get_accState(Child(CHILDID_SELF), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }

  HRESULT hr = E_FAIL;
  IAccessible* acc = nullptr;
};

// The WinEvents this process raises, caught in-process: under Wine a hook in another
// process hears nothing unless the sender has a hook of its own.
class EventLog {
 public:
  struct Event {
    DWORD event;
    HWND hwnd;
    LONG child;
  };
  EventLog() {
    current_ = this;
    hook_ = ::SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_VALUECHANGE, nullptr, &OnEvent,
                              ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_NE(hook_, nullptr) << "SetWinEventHook: " << ::GetLastError();
  }
  ~EventLog() {
    if (hook_) (void)::UnhookWinEvent(hook_);
    current_ = nullptr;
  }
  bool WaitFor(DWORD event, HWND hwnd, LONG child = CHILDID_SELF) {
    return PumpUntil([&] { return Count(event, hwnd, child) > 0; }, 3000ms);
  }
  int Count(DWORD event, HWND hwnd, LONG child = CHILDID_SELF) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) {
      return e.event == event && e.hwnd == hwnd && e.child == child;
    }));
  }
  int CountFor(HWND hwnd) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const Event& e) { return e.hwnd == hwnd; }));
  }

  std::vector<Event> events;

 private:
  static void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child,
                               DWORD, DWORD) {
    if (current_ && object == OBJID_CLIENT) current_->events.push_back({event, hwnd, child});
  }
  static inline EventLog* current_ = nullptr;
  HWINEVENTHOOK hook_ = nullptr;
};

PropertyBag Bag(std::wstring caption) {
  return PropertyBag(std::wstring(button::kCommandTypeName), {{L"caption", caption}});
}

struct LoggedCommand {
  LoggedCommand(HWND parent, const std::wstring& caption, int x = 10) {
    EXPECT_TRUE(command.Create(parent, 100, Bag(caption), x, 10, 233, 33));
    auto& e = command.Events();
    e.click = [this] { log.push_back("Click"); };
    e.mouseDown = [this](std::int16_t&, std::int16_t&, float&, float&) {
      log.push_back("MouseDown");
    };
    e.mouseUp = [this](std::int16_t&, std::int16_t&, float&, float&) { log.push_back("MouseUp"); };
  }
  Command command;
  std::vector<std::string> log;
};

TEST(AccessibleCommand, ReportsRoleNameKeyStateActionAndPlace) {
  ComApartment com;
  Form form(false);
  LoggedCommand b(form.Hwnd(), L"&Release memory now");
  Accessible a(b.command.Hwnd());
  ASSERT_EQ(a.hr, S_OK) << std::hex << a.hr;
  EXPECT_EQ(a.Role(), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(a.Name(), L"Release memory now");
  EXPECT_EQ(a.Text(&IAccessible::get_accKeyboardShortcut), L"Alt+R");
  EXPECT_EQ(a.Text(&IAccessible::get_accDefaultAction), L"Press");
  // The form is hidden, so the button is too.
  EXPECT_EQ(a.State(), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_INVISIBLE);

  long count = -1;
  EXPECT_EQ(a.acc->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  HRESULT hr = S_OK;
  for (const long unknown : {1L, -3L, 0x10001L}) {
    (void)a.Text(&IAccessible::get_accName, unknown, &hr);
    EXPECT_EQ(hr, E_INVALIDARG) << unknown;
    VARIANT role;
    ::VariantInit(&role);
    EXPECT_EQ(a.acc->get_accRole(Child(unknown), &role), E_INVALIDARG);
    EXPECT_EQ(a.acc->accDoDefaultAction(Child(unknown)), E_INVALIDARG);
  }

  RECT window{};
  ASSERT_TRUE(::GetWindowRect(b.command.Hwnd(), &window)) << "GetWindowRect: " << ::GetLastError();
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(a.acc->accLocation(&left, &top, &width, &height, Child(CHILDID_SELF)), S_OK);
  EXPECT_EQ(left, window.left);
  EXPECT_EQ(top, window.top);
  EXPECT_EQ(width, 233);
  EXPECT_EQ(height, 33);

  VARIANT hit;
  ::VariantInit(&hit);
  EXPECT_EQ(a.acc->accHitTest(left + 5, top + 5, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, CHILDID_SELF);
  EXPECT_EQ(a.acc->accHitTest(left - 5, top + 5, &hit), S_FALSE);
  EXPECT_EQ(hit.vt, VT_EMPTY);
  EXPECT_EQ(a.acc->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), &hit), S_FALSE);

  IDispatch* parent = nullptr;
  EXPECT_EQ(a.acc->get_accParent(&parent), S_OK);
  if (parent) parent->Release();

  // Disabled: unavailable, and nothing to press.
  b.command.Core().SetEnabled(false);
  EXPECT_EQ(a.State() & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE),
            STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(a.acc->accDoDefaultAction(Child(CHILDID_SELF)), DISP_E_MEMBERNOTFOUND);
}

TEST(AccessibleCommand, DefaultActionClicksAsTheMouseDoes) {
  ComApartment com;
  Form form(false);
  LoggedCommand mouse(form.Hwnd(), L"Limit");
  LoggedCommand reader(form.Hwnd(), L"Limit", 250);
  (void)::SendMessageW(mouse.command.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
  (void)::SendMessageW(mouse.command.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(20, 10));

  Accessible a(reader.command.Hwnd());
  ASSERT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.acc->accDoDefaultAction(Child(CHILDID_SELF)), S_OK);
  // Later, from the window's own loop: the reader's call is not held up by what it does.
  EXPECT_TRUE(reader.log.empty());
  ASSERT_TRUE(PumpUntil([&] { return !reader.log.empty(); }, 3000ms));
  EXPECT_EQ(reader.log, mouse.log);
  EXPECT_EQ(reader.log, (std::vector<std::string>{"MouseDown", "MouseUp", "Click"}));
  EXPECT_EQ(::GetFocus(), reader.command.Hwnd());
  EXPECT_EQ(reader.command.Core().State(), button::ButtonState::Up);
}

TEST(AccessibleCommand, FocusPressNameAndDisablingRaiseEvents) {
  ComApartment com;
  Form form(true);
  LoggedCommand b(form.Hwnd(), L"Refresh");
  const HWND hwnd = b.command.Hwnd();
  EventLog log;

  (void)::SetFocus(hwnd);
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_FOCUS, hwnd));
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_STATECHANGE, hwnd)) << "focused";
  Accessible a(hwnd);
  ASSERT_EQ(a.hr, S_OK);
  EXPECT_TRUE(a.State() & STATE_SYSTEM_FOCUSED);

  log.events.clear();
  (void)::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_STATECHANGE, hwnd)) << "pressed";
  EXPECT_TRUE(a.State() & STATE_SYSTEM_PRESSED);
  log.events.clear();
  (void)::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_STATECHANGE, hwnd)) << "released";
  EXPECT_FALSE(a.State() & STATE_SYSTEM_PRESSED);

  log.events.clear();
  b.command.Core().SetCaption(L"&Refresh now");
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_NAMECHANGE, hwnd));
  EXPECT_EQ(a.Name(), L"Refresh now");

  log.events.clear();
  b.command.Core().SetEnabled(false);
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_STATECHANGE, hwnd)) << "disabled";
  EXPECT_TRUE(a.State() & STATE_SYSTEM_UNAVAILABLE);

  // Redrawing with nothing changed says nothing.
  PumpMessages();
  log.events.clear();
  b.command.Core().DrawButton(b.command.Core().State(), true);
  PumpMessages();
  EXPECT_EQ(log.CountFor(hwnd), 0);
}

TEST(AccessibleCommand, AnObjectHeldPastItsWindowAnswersDisconnected) {
  ComApartment com;
  Form form(false);
  auto b = std::make_unique<LoggedCommand>(form.Hwnd(), L"OK");
  Accessible a(b->command.Hwnd());
  ASSERT_EQ(a.hr, S_OK);
  b.reset();  // the window goes with its control
  HRESULT hr = S_OK;
  EXPECT_EQ(a.Text(&IAccessible::get_accName, CHILDID_SELF, &hr), L"");
  EXPECT_TRUE(hr == RPC_E_DISCONNECTED || hr == E_FAIL) << std::hex << hr;
  EXPECT_TRUE(FAILED(a.acc->accDoDefaultAction(Child(CHILDID_SELF))));
  long left, top, width, height;
  EXPECT_TRUE(FAILED(a.acc->accLocation(&left, &top, &width, &height, Child(CHILDID_SELF))));

  // The same after DestroyWindow alone, with the control still alive.
  LoggedCommand c(form.Hwnd(), L"Cancel");
  Accessible held(c.command.Hwnd());
  ASSERT_EQ(held.hr, S_OK);
  (void)::DestroyWindow(c.command.Hwnd());
  VARIANT state;
  ::VariantInit(&state);
  EXPECT_EQ(held.acc->get_accState(Child(CHILDID_SELF), &state), RPC_E_DISCONNECTED);
}

// Runs the probe on the window from another process, pumping this thread's messages
// meanwhile: the reader's calls are served by the window's own loop.
std::string RunProbe(const std::wstring& args) {
  const std::wstring exe = testing_support::Burner::BesideThisProgram(L"accessible_probe.exe");
  testing_support::ChildProcess probe(exe, L"accessible_probe.exe " + args, true);
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  for (;;) {
    DWORD available = 0;
    while (::PeekNamedPipe(probe.Pipe(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
      char buffer[512];
      DWORD read = 0;
      if (!::ReadFile(probe.Pipe(), buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
      output.append(buffer, read);
    }
    if (::WaitForSingleObject(probe.Handle(), 0) == WAIT_OBJECT_0 && available == 0) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "probe did not finish";
      break;
    }
    HANDLE process = probe.Handle();
    (void)::MsgWaitForMultipleObjects(1, &process, FALSE, 20, QS_ALLINPUT);
    PumpMessages();
  }
  return output;
}

std::wstring Hex(HWND hwnd) {
  wchar_t text[32];
  (void)swprintf(text, 32, L"%llx",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return text;
}

TEST(AccessibleCommand, AnotherProcessReadsItAndPressesIt) {
  ComApartment com;
  Form form(false);
  LoggedCommand b(form.Hwnd(), L"&Release memory now");
  const std::string line = RunProbe(Hex(b.command.Hwnd()));
  EXPECT_NE(line.find("role=43 "), std::string::npos) << line;  // push button
  EXPECT_NE(line.find("name=Release memory now|action=Press|shortcut=Alt+R|"), std::string::npos)
      << line;
  char state[32];
  (void)std::snprintf(state, sizeof(state), "state=0x%lx ",
                      static_cast<long>(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_INVISIBLE));
  EXPECT_NE(line.find(state), std::string::npos) << line;

  const std::string pressed = RunProbe(L"--do " + Hex(b.command.Hwnd()));
  EXPECT_NE(pressed.find("hr=0x00000000"), std::string::npos) << pressed;
  EXPECT_TRUE(PumpUntil([&] { return !b.log.empty(); }, 3000ms));
  EXPECT_EQ(b.log, (std::vector<std::string>{"MouseDown", "MouseUp", "Click"}));
}

TEST(AccessibleMonitor, ReadsItsFiguresAtItsOwnRateAndIsQuietWhileHidden) {
  ComApartment com;
  Form form(true);
  auto monitor = CpuMonitorWindow::Create(form.Hwnd(), 10, 10, CpuMonitorStateProperties());
  ASSERT_TRUE(monitor);
  const HWND hwnd = monitor->Hwnd();
  monitor->Control().SetUpdateInterval(0);  // the test ticks it
  Accessible a(hwnd);
  ASSERT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.Role(), ROLE_SYSTEM_CHART);
  EXPECT_EQ(a.Name(), L"System monitor");
  EXPECT_EQ(a.Text(&IAccessible::get_accValue), L"No readings yet");
  EXPECT_EQ(a.State(), STATE_SYSTEM_READONLY);

  EventLog log;
  (void)::SendMessageW(hwnd, WM_TIMER, 1, 0);
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_VALUECHANGE, hwnd));
  const std::wstring value = a.Text(&IAccessible::get_accValue);
  EXPECT_EQ(value.rfind(L"CPU ", 0), 0u) << value;
  for (const wchar_t* part :
       {L"%, memory ", L"%, page file ", L"%, virtual memory ", L"%, drive C: ", L"% free"}) {
    EXPECT_NE(value.find(part), std::wstring::npos) << part << " in " << value;
  }

  // Hidden: the figures still answer, but nothing is announced.
  (void)::ShowWindow(hwnd, SW_HIDE);
  PumpMessages();
  log.events.clear();
  monitor->Control().SetCPUMonitorDisplayed(false);
  (void)::SendMessageW(hwnd, WM_TIMER, 1, 0);
  PumpMessages();
  EXPECT_EQ(log.CountFor(hwnd), 0);
  EXPECT_EQ(a.Text(&IAccessible::get_accValue).rfind(L"Memory ", 0), 0u);
  EXPECT_TRUE(a.State() & STATE_SYSTEM_INVISIBLE);

  (void)::ShowWindow(hwnd, SW_SHOWNA);
  monitor->Control().SetCPUMonitorDisplayed(true);
  (void)::SendMessageW(hwnd, WM_TIMER, 1, 0);
  EXPECT_TRUE(log.WaitFor(EVENT_OBJECT_VALUECHANGE, hwnd));
}

TEST(AccessibleStandardControls, ADropDownListGetsTheNameOfItsPaintedLabel) {
  ComApartment com;
  Form form(false);
  HWND combo = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 10,
                                 10, 120, 200, form.Hwnd(), nullptr, nullptr, nullptr);
  ASSERT_NE(combo, nullptr) << "CreateWindowExW: " << ::GetLastError();
  (void)::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"High"));
  (void)::SendMessageW(combo, CB_SETCURSEL, 0, 0);
  if (!NameForScreenReaders(combo, L"Speed up level")) {
    GTEST_SKIP() << "Wine 8 keeps no names set through the system's property services";
  }
  Accessible a(combo);
  ASSERT_EQ(a.hr, S_OK);
  if (a.Name() != L"Speed up level") {
    GTEST_SKIP() << "Wine 8's standard objects do not read names set through the system's "
                    "property services (read: "
                 << std::string(a.Name().begin(), a.Name().end()) << ")";
  }
  EXPECT_EQ(a.Name(), L"Speed up level");
}

}  // namespace
}  // namespace quorvant::win32
