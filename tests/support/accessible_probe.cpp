// Reads a window's accessible objects from another process, as a screen reader does.
// Usage:
//   accessible_probe.exe HWND           one line for the window's client object:
//                                       "role=R state=0xS children=C name=N|action=A|
//                                        shortcut=K|value=V" (texts end at '|')
//   accessible_probe.exe --do HWND [ID] "hr=0xH": the default action of the client object
//                                       or of its element ID
//   accessible_probe.exe --walk HWND    the line above for the window, every window inside
//                                       it and each of their parts, each prefixed with
//                                       "HWND ID CLASS "
//   accessible_probe.exe --do-named HWND NAME
//                                       "hr=0xH": the default action of the first object in
//                                       the walk whose name is NAME
// HWND is hexadecimal, or class:NAME for a top-level window of that class. Exit code 0 when
// every call succeeded.
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

VARIANT Child(long id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::wstring Text(IAccessible* acc, long id,
                  HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  std::wstring result;
  if (SUCCEEDED((acc->*get)(Child(id), &text)) && text) result = text;
  ::SysFreeString(text);
  return result;
}

std::wstring Describe(IAccessible* acc, long id) {
  VARIANT role, state;
  ::VariantInit(&role);
  ::VariantInit(&state);
  const HRESULT roleHr = acc->get_accRole(Child(id), &role);
  (void)acc->get_accState(Child(id), &state);
  long children = 0;
  if (id == CHILDID_SELF) (void)acc->get_accChildCount(&children);
  wchar_t head[128];
  std::swprintf(head, 128, L"role=%ld state=0x%lx children=%ld ",
                SUCCEEDED(roleHr) && role.vt == VT_I4 ? role.lVal : -1L,
                state.vt == VT_I4 ? state.lVal : 0L, children);
  return head + (L"name=" + Text(acc, id, &IAccessible::get_accName) + L"|action=" +
                 Text(acc, id, &IAccessible::get_accDefaultAction) + L"|shortcut=" +
                 Text(acc, id, &IAccessible::get_accKeyboardShortcut) + L"|value=" +
                 Text(acc, id, &IAccessible::get_accValue) + L"|");
}

IAccessible* ClientObject(HWND hwnd) {
  IAccessible* acc = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible), reinterpret_cast<void**>(&acc)))) {
    return nullptr;
  }
  return acc;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[128] = {};
  (void)::GetClassNameW(hwnd, name, 128);
  return name;
}

// Visits the client object of hwnd and its parts: simple elements, and parts with an object
// of their own that belong to the same window (other windows are visited on their own).
template <typename Visit>
void WalkObject(HWND hwnd, IAccessible* acc, long depthId, Visit& visit) {
  visit(hwnd, acc, CHILDID_SELF, depthId);
  long count = 0;
  if (FAILED(acc->get_accChildCount(&count))) return;
  for (long i = 1; i <= count; ++i) {
    IDispatch* dispatch = nullptr;
    const HRESULT hr = acc->get_accChild(Child(i), &dispatch);
    if (hr == S_FALSE) {
      visit(hwnd, acc, i, depthId * 100 + i);
      continue;
    }
    if (FAILED(hr) || !dispatch) continue;
    IAccessible* part = nullptr;
    if (SUCCEEDED(
            dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&part)))) {
      HWND owner = nullptr;
      if (SUCCEEDED(::WindowFromAccessibleObject(part, &owner)) && owner == hwnd) {
        WalkObject(hwnd, part, depthId * 100 + i, visit);
      }
      part->Release();
    }
    dispatch->Release();
  }
}

template <typename Visit>
void Walk(HWND top, Visit visit) {
  auto one = [&](HWND hwnd) {
    IAccessible* acc = ClientObject(hwnd);
    if (!acc) return;
    WalkObject(hwnd, acc, 0, visit);
    acc->Release();
  };
  one(top);
  struct Ctx {
    decltype(one)* f;
  } ctx{&one};
  (void)::EnumChildWindows(
      top,
      [](HWND child, LPARAM param) -> BOOL {
        (*reinterpret_cast<Ctx*>(param)->f)(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
}

// A hexadecimal handle, or "class:NAME" for the first top-level window of that class.
HWND ParseHwnd(const wchar_t* text) {
  const std::wstring s(text);
  if (s.rfind(L"class:", 0) == 0) return ::FindWindowW(s.substr(6).c_str(), nullptr);
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoull(text, nullptr, 16)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = 1;
  if (argc == 2) {
    if (IAccessible* acc = ClientObject(ParseHwnd(argv[1]))) {
      std::printf("%ls\n", Describe(acc, CHILDID_SELF).c_str());
      acc->Release();
      code = 0;
    } else {
      std::printf("no object\n");
    }
  } else if (argc >= 3 && std::wstring(argv[1]) == L"--do") {
    HRESULT hr = E_FAIL;
    if (IAccessible* acc = ClientObject(ParseHwnd(argv[2]))) {
      hr = acc->accDoDefaultAction(Child(argc >= 4 ? std::wcstol(argv[3], nullptr, 10) : 0));
      acc->Release();
    }
    std::printf("hr=0x%08lx\n", static_cast<unsigned long>(hr));
    code = SUCCEEDED(hr) ? 0 : 1;
  } else if (argc == 3 && std::wstring(argv[1]) == L"--walk") {
    Walk(ParseHwnd(argv[2]), [](HWND hwnd, IAccessible* acc, long id, long path) {
      std::printf("%p %ld %ls %ls\n", static_cast<void*>(hwnd), path, ClassOf(hwnd).c_str(),
                  Describe(acc, id).c_str());
    });
    code = 0;
  } else if (argc == 4 && std::wstring(argv[1]) == L"--do-named") {
    HRESULT hr = E_FAIL;
    bool found = false;
    const std::wstring wanted = argv[3];
    Walk(ParseHwnd(argv[2]), [&](HWND, IAccessible* acc, long id, long) {
      if (found || Text(acc, id, &IAccessible::get_accName) != wanted) return;
      found = true;
      hr = acc->accDoDefaultAction(Child(id));
    });
    std::printf("hr=0x%08lx\n", static_cast<unsigned long>(hr));
    code = SUCCEEDED(hr) ? 0 : 1;
  }
  std::fflush(stdout);
  ::CoUninitialize();
  return code;
}
