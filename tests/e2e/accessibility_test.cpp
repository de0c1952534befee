#include <windows.h>

#include <gtest/gtest.h>

#include <oleacc.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/app_driver.h"
#include "tests/e2e/cpu_panel_driver.h"

namespace quorvant::e2e {
namespace {

using namespace std::chrono_literals;

// Classes of the controls the program draws itself.
const std::vector<std::wstring> kOwnDrawn = {L"Quorvant.Command", L"QuorvantCpuMonitor",
                                             L"Quorvant.Link", L"FormQuorvant", L"QuorvantPanel"};
// Standard controls whose own text is not what they show.
const std::vector<std::wstring> kNamedByText = {L"SysListView32", L"msctls_trackbar32"};

// One object as accessible_probe.exe reads it from this (another) process.
struct Object {
  std::wstring hwnd;
  long path = 0;  // 0 the window's client object, otherwise one of its parts
  std::wstring className;
  long role = -1;
  unsigned long state = 0;
  long children = 0;
  std::wstring name, action, shortcut, value;
};

std::wstring Field(const std::wstring& line, const std::wstring& key) {
  // Texts end at '|' and all but the name follow one; figures end at a blank.
  const bool text = key == L"name" || key == L"action" || key == L"shortcut" || key == L"value";
  const std::wstring marker = (text && key != L"name" ? L"|" : L" ") + key + L"=";
  const size_t at = line.find(marker);
  if (at == std::wstring::npos) return {};
  const size_t from = at + marker.size();
  const size_t to = line.find(text ? L'|' : L' ', from);
  return line.substr(from, to == std::wstring::npos ? std::wstring::npos : to - from);
}

std::wstring ProbeOutput(const std::wstring& args) {
  std::wstring output = AccessibleProbe(args);
  if (output.empty()) ADD_FAILURE() << "accessible_probe.exe printed nothing";
  return output;
}

std::wstring Hex(HWND hwnd) {
  wchar_t text[32];
  (void)swprintf(text, 32, L"%llx",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return text;
}

std::vector<Object> Walk(HWND top) {
  std::vector<Object> objects;
  std::wistringstream lines(ProbeOutput(L"--walk " + Hex(top)));
  for (std::wstring line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    std::wistringstream head(line);
    Object o;
    head >> o.hwnd >> o.path >> o.className;
    if (o.className.empty()) continue;
    o.role = std::wcstol(Field(line, L"role").c_str(), nullptr, 10);
    o.state = std::wcstoul(Field(line, L"state").c_str(), nullptr, 16);
    o.children = std::wcstol(Field(line, L"children").c_str(), nullptr, 10);
    o.name = Field(line, L"name");
    o.action = Field(line, L"action");
    o.shortcut = Field(line, L"shortcut");
    o.value = Field(line, L"value");
    objects.push_back(o);
  }
  return objects;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool OwnDrawn(const Object& o) {
  for (const std::wstring& c : kOwnDrawn) {
    if (o.className == c) return true;
  }
  return false;
}

const Object* Find(const std::vector<Object>& objects, const std::wstring& className,
                   const std::wstring& name) {
  for (const Object& o : objects) {
    if (o.className == className && o.name == name) return &o;
  }
  return nullptr;
}

// Every object of a window the program draws itself says what it is and what it is called.
void ExpectRolesAndNames(const std::vector<Object>& objects) {
  for (const Object& o : objects) {
    for (const std::wstring& c : kNamedByText) {
      if (o.className == c && o.path == 0) EXPECT_FALSE(o.name.empty()) << Narrow(c);
    }
    if (!OwnDrawn(o)) continue;
    SCOPED_TRACE(Narrow(o.className + L" " + o.hwnd + L" " + std::to_wstring(o.path)));
    EXPECT_GT(o.role, 0);
    // A window's client area is a client; its parts are what they look like.
    if (o.className == L"FormQuorvant" || o.className == L"QuorvantPanel") {
      EXPECT_EQ(o.role == ROLE_SYSTEM_CLIENT, o.path == 0);
    } else {
      EXPECT_NE(o.role, ROLE_SYSTEM_CLIENT);
    }
    EXPECT_FALSE(o.name.empty());
  }
}

TEST(AccessibilityEndToEnd, EveryControlTheProgramDrawsIsReadWithItsRoleAndName) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  app.WaitForIdle();

  const std::vector<Object> main = Walk(w.main);
  ASSERT_FALSE(main.empty());
  ExpectRolesAndNames(main);

  // The skin: the navigation column as a tab list with the shown panel selected, and the
  // two title buttons.
  std::vector<std::wstring> tabs, selected;
  int tabLists = 0;
  for (const Object& o : main) {
    if (o.className != L"FormQuorvant") continue;
    if (o.role == ROLE_SYSTEM_PAGETABLIST) ++tabLists;
    if (o.role != ROLE_SYSTEM_PAGETAB) continue;
    tabs.push_back(o.name);
    EXPECT_EQ(o.action, L"Switch");
    if (o.state & STATE_SYSTEM_SELECTED) selected.push_back(o.name);
  }
  EXPECT_EQ(tabLists, 1);
  EXPECT_EQ(tabs,
            (std::vector<std::wstring>{L"Status", L"1 - Speed up process", L"2 - Speed up CPU",
                                       L"3 - Speed up memory", L"Settings", L"About"}));
  EXPECT_EQ(selected, std::vector<std::wstring>{L"Status"});
  for (const wchar_t* title : {L"Minimize", L"Close"}) {
    const Object* button = Find(main, L"FormQuorvant", title);
    ASSERT_NE(button, nullptr) << Narrow(title);
    EXPECT_EQ(button->role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(button->action, L"Press");
  }
  // Each panel under its entry's name, its painted captions read as texts.
  for (const std::wstring& name : tabs) {
    EXPECT_NE(Find(main, L"QuorvantPanel", name), nullptr) << Narrow(name);
  }
  const Object* caption = Find(main, L"QuorvantPanel", L"Memory usage:");
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->role, ROLE_SYSTEM_STATICTEXT);

  for (const wchar_t* caption : {L"Release memory now", L"Limit", L"Refresh"}) {
    const Object* button = Find(main, L"Quorvant.Command", caption);
    ASSERT_NE(button, nullptr) << Narrow(caption);
    EXPECT_EQ(button->role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(button->action, L"Press");
  }
  const Object* graph = Find(main, L"QuorvantCpuMonitor", L"System monitor");
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->role, ROLE_SYSTEM_CHART);
  EXPECT_FALSE(graph->value.empty());
  bool link = false;
  for (const Object& o : main) {
    if (o.className != L"Quorvant.Link") continue;
    link = true;
    EXPECT_EQ(o.role, ROLE_SYSTEM_LINK);
    EXPECT_EQ(o.action, L"Open");
  }
  EXPECT_TRUE(link);

  // The limit dialog's four buttons, shown or not.
  RemoteListView list(w.list, app.Id());
  ASSERT_TRUE(list.Ready());
  ASSERT_GT(list.Count(), 0);
  list.Select(0);
  Click(w.limit);
  const HWND dialog = WaitForDialog(app);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(dialog) != FALSE; }));
  const std::vector<Object> limit = Walk(dialog);
  ExpectRolesAndNames(limit);
  for (const wchar_t* caption : {L"OK", L"Cancel", L"Adjustment", L"Release"}) {
    const Object* button = Find(limit, L"Quorvant.Command", caption);
    ASSERT_NE(button, nullptr) << Narrow(caption);
    EXPECT_EQ(button->role, ROLE_SYSTEM_PUSHBUTTON);
  }
  EXPECT_TRUE(Answer(dialog, L"Cancel"));
}

TEST(AccessibilityEndToEnd, ReleaseMemoryNowPressedByAReaderShowsItsMessage) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  app.WaitForIdle();
  const std::wstring answer =
      ProbeOutput(L"--do-named " + Hex(w.main) + L" \"Release memory now\"");
  EXPECT_NE(answer.find(L"hr=0x00000000"), std::wstring::npos) << Narrow(answer);
  HWND message = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (message = app.FindTopLevel(L"#32770", L"Quorvant")) != nullptr; }, 30s));
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(message) != FALSE; }));
  const std::wstring text = WindowText(::GetDlgItem(message, 0xFFFF));
  EXPECT_EQ(text.rfind(L"Success! ", 0), 0u) << Narrow(text);
  ASSERT_TRUE(::PostMessageW(message, WM_COMMAND, IDOK, 0)) << "PostMessageW: " << ::GetLastError();
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(message); }));
}

HWND PanelNamed(HWND main, const wchar_t* name) {
  return ::FindWindowExW(main, nullptr, L"QuorvantPanel", name);
}

TEST(AccessibilityEndToEnd, AReaderSwitchesPanelsAndPressesTheTitleButtons) {
  AppFolder folder;
  AppProcess app(folder.Exe());
  CpuPanelWindows w;
  ASSERT_TRUE(FindCpuPanel(app, w));
  app.WaitForIdle();
  const HWND memory = PanelNamed(w.main, L"3 - Speed up memory");
  ASSERT_NE(memory, nullptr);
  ASSERT_FALSE(::IsWindowVisible(memory));

  auto press = [&](const wchar_t* name) {
    return ProbeOutput(L"--do-named " + Hex(w.main) + L" \"" + name + L"\"");
  };
  EXPECT_NE(press(L"3 - Speed up memory").find(L"hr=0x00000000"), std::wstring::npos);
  EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(memory) != FALSE; }));
  EXPECT_FALSE(::IsWindowVisible(PanelNamed(w.main, L"Status")));
  std::vector<std::wstring> selected;
  for (const Object& o : Walk(w.main)) {
    if (o.role == ROLE_SYSTEM_PAGETAB && (o.state & STATE_SYSTEM_SELECTED))
      selected.push_back(o.name);
  }
  EXPECT_EQ(selected, std::vector<std::wstring>{L"3 - Speed up memory"});

  EXPECT_NE(press(L"Minimize").find(L"hr=0x00000000"), std::wstring::npos);
  EXPECT_TRUE(WaitFor([&] { return ::IsIconic(w.main) != FALSE; }));
  (void)::ShowWindowAsync(w.main, SW_RESTORE);
  ASSERT_TRUE(WaitFor([&] { return !::IsIconic(w.main) && ::IsWindowVisible(w.main); }));

  EXPECT_NE(press(L"Close").find(L"hr=0x00000000"), std::wstring::npos);
  EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(w.main); }));
  EXPECT_TRUE(app.Running()) << "closing hides the window; the program stays in the tray";
}

}  // namespace
}  // namespace quorvant::e2e
