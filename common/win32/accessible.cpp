#include "common/win32/accessible.h"

#include <oleacc.h>

#include <atomic>
#include <string>
#include <vector>

namespace quorvant::win32 {

using access::Tree;

// What the objects of one window share with the host: cleared when the window goes.
struct AccessibleHost::Link {
  AccessibleSource* source = nullptr;
  HWND hwnd = nullptr;
};

namespace {

// Parts deeper than the client area's own children are named in events by this base plus
// their node, so that the client object can find them from an event alone.
constexpr long kDeepChildBase = 0x10000;

UINT ActionMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"Quorvant.AccessibleAction");
  return message;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> windows;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    windows.push_back(child);
  }
  return windows;
}

// The accessibility library is not one the system keeps loaded for every program, so a
// static import would be resolved in the program's own folder first, before the program can
// narrow the search: a DLL of that name planted beside it would run. Taken from the system
// folder only, at the first request of a reader.
class AccessibilityLibrary {
 public:
  static const AccessibilityLibrary& Get() {
    static const AccessibilityLibrary library;
    return library;
  }

  HRESULT ObjectFromWindow(HWND hwnd, DWORD object, REFIID riid, void** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    return objectFromWindow_ ? objectFromWindow_(hwnd, object, riid, out) : E_NOTIMPL;
  }
  LRESULT ResultFromObject(REFIID riid, WPARAM wParam, IUnknown* object) const {
    // Zero tells the reader that the window has no object of its own to give.
    return resultFromObject_ ? resultFromObject_(riid, wParam, object) : 0;
  }

 private:
  using ObjectFromWindowFn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  using ResultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

  AccessibilityLibrary()
      : module_(::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!module_) return;
    objectFromWindow_ = reinterpret_cast<ObjectFromWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "AccessibleObjectFromWindow")));
    resultFromObject_ = reinterpret_cast<ResultFromObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "LresultFromObject")));
  }
  // Kept loaded for the life of the program: readers may hold its objects until the end.
  HMODULE module_;
  ObjectFromWindowFn objectFromWindow_ = nullptr;
  ResultFromObjectFn resultFromObject_ = nullptr;
};

HRESULT WindowObject(HWND hwnd, IDispatch** out) {
  return AccessibilityLibrary::Get().ObjectFromWindow(
      hwnd, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch), reinterpret_cast<void**>(out));
}

HRESULT ReturnText(const std::wstring& text, BSTR* out, HRESULT whenEmpty) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return whenEmpty;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// One object: the window's client area (node 0) or a part that has parts of its own.
class AccessibleObject final : public IAccessible, public IOleWindow {
 public:
  AccessibleObject(std::shared_ptr<AccessibleHost::Link> link, int node)
      : link_(std::move(link)), node_(node) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
        riid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // Tells a reader at once which window the object belongs to.
    if (riid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: screen readers call IAccessible directly.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  STDMETHODIMP get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    if (node_ == Tree::kRoot) return WindowObject(link_->hwnd, parent);
    const Tree tree = link_->source->AccessibleTree();
    if (!tree.Holds(node_)) return RPC_E_DISCONNECTED;
    *parent = new AccessibleObject(link_, tree.Parent(node_));
    return S_OK;
  }

  STDMETHODIMP get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    *count = static_cast<long>(tree.Children(node_).size() + Windows().size());
    return S_OK;
  }

  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    switch (target.kind) {
      case Target::Invalid:
        return E_INVALIDARG;
      case Target::Window:
        return WindowObject(target.window, out);
      case Target::Self:
        AddRef();
        *out = this;
        return S_OK;
      case Target::Node:
        break;
    }
    if (tree.Children(target.node).empty()) return S_FALSE;  // a simple element
    *out = new AccessibleObject(link_, target.node);
    return S_OK;
  }

  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    return Text(child, name, &access::Element::name, S_FALSE, &IAccessible::get_accName);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    return Text(child, value, &access::Element::value, DISP_E_MEMBERNOTFOUND,
                &IAccessible::get_accValue);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override {
    return Text(child, description, &access::Element::description, S_FALSE,
                &IAccessible::get_accDescription);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return Text(child, shortcut, &access::Element::keyboardShortcut, S_FALSE,
                &IAccessible::get_accKeyboardShortcut);
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(child, action, &access::Element::defaultAction, DISP_E_MEMBERNOTFOUND,
                &IAccessible::get_accDefaultAction);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override {
    if (help) *help = nullptr;
    return Check(child, DISP_E_MEMBERNOTFOUND);
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return Check(child, DISP_E_MEMBERNOTFOUND);
  }

  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    ::VariantInit(role);
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    if (target.kind == Target::Invalid) return E_INVALIDARG;
    if (target.kind == Target::Window)
      return Delegate(target.window, &IAccessible::get_accRole, role);
    role->vt = VT_I4;
    role->lVal = RoleConstant(tree.At(target.node).role);
    return S_OK;
  }

  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    ::VariantInit(state);
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    if (target.kind == Target::Invalid) return E_INVALIDARG;
    if (target.kind == Target::Window) {
      return Delegate(target.window, &IAccessible::get_accState, state);
    }
    long bits = StateConstant(tree.At(target.node).state);
    if (!::IsWindowVisible(link_->hwnd)) bits |= STATE_SYSTEM_INVISIBLE;
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }

  STDMETHODIMP get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    ::VariantInit(focus);
    if (!Connected()) return RPC_E_DISCONNECTED;
    if (::GetFocus() != link_->hwnd) return S_FALSE;
    const Tree tree = link_->source->AccessibleTree();
    return Report(tree, link_->source->FocusedNode(), focus);
  }

  STDMETHODIMP get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    ::VariantInit(selection);
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const std::vector<int> selected = tree.Selected(node_);
    if (selected.empty()) return S_FALSE;
    return Report(tree, selected.front(), selection);
  }

  STDMETHODIMP accSelect(long, VARIANT child) override {
    return Check(child, DISP_E_MEMBERNOTFOUND);
  }

  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                           VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    if (target.kind == Target::Invalid) return E_INVALIDARG;
    RECT r{};
    if (target.kind == Target::Window) {
      if (!::GetWindowRect(target.window, &r)) return E_FAIL;
    } else {
      // Client pixels are screen pixels at the window's display scale.
      const access::Box& box = tree.BoxOf(target.node);
      POINT origin{box.left, box.top};
      if (!::ClientToScreen(link_->hwnd, &origin)) return E_FAIL;
      r = {origin.x, origin.y, origin.x + box.width, origin.y + box.height};
    }
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }

  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    ::VariantInit(end);
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target from = Resolve(tree, start);
    if (from.kind == Target::Invalid) return E_INVALIDARG;
    if (from.kind == Target::Window) return S_FALSE;  // the window's own object knows its way
    access::Direction d{};
    switch (direction) {
      case NAVDIR_NEXT:
        d = access::Direction::Next;
        break;
      case NAVDIR_PREVIOUS:
        d = access::Direction::Previous;
        break;
      case NAVDIR_FIRSTCHILD:
        d = access::Direction::FirstChild;
        break;
      case NAVDIR_LASTCHILD:
        d = access::Direction::LastChild;
        break;
      case NAVDIR_UP:
        d = access::Direction::Up;
        break;
      case NAVDIR_DOWN:
        d = access::Direction::Down;
        break;
      case NAVDIR_LEFT:
        d = access::Direction::Left;
        break;
      case NAVDIR_RIGHT:
        d = access::Direction::Right;
        break;
      default:
        return E_INVALIDARG;
    }
    // First and last child are asked of the object itself, not of one of its elements.
    const bool toChild = d == access::Direction::FirstChild || d == access::Direction::LastChild;
    if (toChild && from.kind != Target::Self) return E_INVALIDARG;
    const std::optional<int> to = tree.Navigate(from.node, d);
    if (!to) return S_FALSE;
    return Report(tree, *to, end);
  }

  STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    ::VariantInit(hit);
    if (!Connected()) return RPC_E_DISCONNECTED;
    POINT screen{x, y};
    for (HWND window : Windows()) {
      RECT r{};
      if (::IsWindowVisible(window) && ::GetWindowRect(window, &r) && ::PtInRect(&r, screen)) {
        IDispatch* object = nullptr;
        const HRESULT hr = WindowObject(window, &object);
        if (FAILED(hr)) return hr;
        hit->vt = VT_DISPATCH;
        hit->pdispVal = object;
        return S_OK;
      }
    }
    POINT client = screen;
    if (!::ScreenToClient(link_->hwnd, &client)) return E_FAIL;
    const Tree tree = link_->source->AccessibleTree();
    const std::optional<int> found = tree.HitTest(node_, client.x, client.y);
    if (!found) return S_FALSE;
    // A part inside one of this object's parts is found through that part's own object.
    return Report(tree, OwnPartToward(tree, *found), hit);
  }

  STDMETHODIMP accDoDefaultAction(VARIANT child) override {
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    if (target.kind == Target::Invalid) return E_INVALIDARG;
    if (target.kind == Target::Window) {
      IDispatch* object = nullptr;
      IAccessible* accessible = nullptr;
      HRESULT hr = WindowObject(target.window, &object);
      if (SUCCEEDED(hr)) {
        hr = object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&accessible));
        object->Release();
      }
      if (FAILED(hr)) return hr;
      hr = accessible->accDoDefaultAction(Self());
      accessible->Release();
      return hr;
    }
    if (tree.At(target.node).defaultAction.empty()) return DISP_E_MEMBERNOTFOUND;
    if (!::PostMessageW(link_->hwnd, ActionMessage(), static_cast<WPARAM>(target.node), 0)) {
      return E_FAIL;
    }
    return S_OK;
  }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    *window = link_->hwnd;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  struct Target {
    enum Kind { Invalid, Self, Node, Window } kind = Invalid;
    int node = Tree::kRoot;
    HWND window = nullptr;
  };

  static VARIANT Self() {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
  }

  bool Connected() const { return link_->source && link_->hwnd && ::IsWindow(link_->hwnd); }

  // Child windows belong to the client area itself, after its own parts.
  std::vector<HWND> Windows() const {
    return node_ == Tree::kRoot ? ChildWindows(link_->hwnd) : std::vector<HWND>{};
  }

  Target Resolve(const Tree& tree, const VARIANT& child) const {
    Target t;
    if (!tree.Holds(node_)) return t;
    long id = 0;
    if (child.vt == VT_I4) {
      id = child.lVal;
    } else if (child.vt != VT_EMPTY) {
      return t;
    }
    if (id == CHILDID_SELF) return {Target::Self, node_, nullptr};
    const std::vector<int> children = tree.Children(node_);
    const long parts = static_cast<long>(children.size());
    if (id >= 1 && id <= parts)
      return {Target::Node, children[static_cast<size_t>(id - 1)], nullptr};
    if (id > parts) {
      const std::vector<HWND> windows = Windows();
      if (id - parts <= static_cast<long>(windows.size())) {
        return {Target::Window, Tree::kRoot, windows[static_cast<size_t>(id - parts - 1)]};
      }
    }
    // A part deeper down, named as events name it.
    if (node_ == Tree::kRoot && id > kDeepChildBase &&
        tree.Holds(static_cast<int>(id - kDeepChildBase))) {
      return {Target::Node, static_cast<int>(id - kDeepChildBase), nullptr};
    }
    return t;
  }

  // node as this object names it: itself, one of its simple elements, a part with an
  // object of its own, or (from the client area) a deeper part by its event id.
  HRESULT Report(const Tree& tree, int node, VARIANT* out) {
    if (node == node_) {
      out->vt = VT_I4;
      out->lVal = CHILDID_SELF;
      return S_OK;
    }
    if (!tree.Children(node).empty()) {
      out->vt = VT_DISPATCH;
      out->pdispVal = new AccessibleObject(link_, node);
      return S_OK;
    }
    const std::vector<int> children = tree.Children(node_);
    for (size_t i = 0; i < children.size(); ++i) {
      if (children[i] == node) {
        out->vt = VT_I4;
        out->lVal = static_cast<long>(i + 1);
        return S_OK;
      }
    }
    if (node_ == Tree::kRoot) {
      out->vt = VT_I4;
      out->lVal = kDeepChildBase + node;
      return S_OK;
    }
    // A simple element of another object: this object has no name for it.
    return S_FALSE;
  }

  // The part directly under this object on the way to node.
  int OwnPartToward(const Tree& tree, int node) const {
    while (node != node_ && tree.Holds(node) && tree.Parent(node) != node_)
      node = tree.Parent(node);
    return node;
  }

  HRESULT Check(const VARIANT& child, HRESULT answer) const {
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    return Resolve(tree, child).kind == Target::Invalid ? E_INVALIDARG : answer;
  }

  template <typename Method, typename Out>
  static HRESULT Delegate(HWND window, Method method, Out* out) {
    IDispatch* object = nullptr;
    HRESULT hr = WindowObject(window, &object);
    if (FAILED(hr)) return hr;
    IAccessible* accessible = nullptr;
    hr = object->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&accessible));
    object->Release();
    if (FAILED(hr)) return hr;
    hr = (accessible->*method)(Self(), out);
    accessible->Release();
    return hr;
  }

  HRESULT Text(const VARIANT& child, BSTR* out, std::wstring access::Element::*field,
               HRESULT whenEmpty,
               HRESULT (STDMETHODCALLTYPE IAccessible::*method)(VARIANT, BSTR*)) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    const Tree tree = link_->source->AccessibleTree();
    const Target target = Resolve(tree, child);
    if (target.kind == Target::Invalid) return E_INVALIDARG;
    if (target.kind == Target::Window) return Delegate(target.window, method, out);
    return ReturnText(tree.At(target.node).*field, out, whenEmpty);
  }

  std::shared_ptr<AccessibleHost::Link> link_;
  int node_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace

bool NameForScreenReaders(HWND control, const std::wstring& name) {
  IAccPropServices* services = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
    return false;
  }
  const HRESULT hr = services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                              CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
  services->Release();
  return SUCCEEDED(hr);
}

long RoleConstant(access::Role role) {
  switch (role) {
    case access::Role::PushButton:
      return ROLE_SYSTEM_PUSHBUTTON;
    case access::Role::PageTabList:
      return ROLE_SYSTEM_PAGETABLIST;
    case access::Role::PageTab:
      return ROLE_SYSTEM_PAGETAB;
    case access::Role::Link:
      return ROLE_SYSTEM_LINK;
    case access::Role::Chart:
      return ROLE_SYSTEM_CHART;
    case access::Role::StaticText:
      return ROLE_SYSTEM_STATICTEXT;
    case access::Role::Client:
      break;
  }
  return ROLE_SYSTEM_CLIENT;
}

long StateConstant(access::States states) {
  struct Bit {
    access::States ours;
    long system;
  };
  static constexpr Bit kBits[] = {
      {access::kUnavailable, STATE_SYSTEM_UNAVAILABLE},
      {access::kFocusable, STATE_SYSTEM_FOCUSABLE},
      {access::kFocused, STATE_SYSTEM_FOCUSED},
      {access::kPressed, STATE_SYSTEM_PRESSED},
      {access::kSelectable, STATE_SYSTEM_SELECTABLE},
      {access::kSelected, STATE_SYSTEM_SELECTED},
      {access::kInvisible, STATE_SYSTEM_INVISIBLE},
      {access::kLinked, STATE_SYSTEM_LINKED},
      {access::kReadOnly, STATE_SYSTEM_READONLY},
      {access::kDefault, STATE_SYSTEM_DEFAULT},
  };
  long system = 0;
  for (const Bit& bit : kBits) {
    if (states & bit.ours) system |= bit.system;
  }
  return system;
}

AccessibleHost::AccessibleHost(AccessibleSource& source)
    : source_(source), link_(std::make_shared<Link>()) {
  link_->source = &source_;
}

AccessibleHost::~AccessibleHost() {
  link_->source = nullptr;
  link_->hwnd = nullptr;
}

long AccessibleHost::EventChildId(const Tree& tree, int node) {
  if (node == Tree::kRoot || !tree.Holds(node)) return CHILDID_SELF;
  if (tree.Parent(node) != Tree::kRoot) return kDeepChildBase + node;
  const std::vector<int> children = tree.Children(Tree::kRoot);
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i] == node) return static_cast<long>(i + 1);
  }
  return CHILDID_SELF;
}

bool AccessibleHost::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
  if (link_->source) link_->hwnd = hwnd;
  if (message == WM_GETOBJECT) {
    if (static_cast<long>(lParam) != OBJID_CLIENT || !link_->source) return false;
    // A reader that asks is told of every change from here on.
    if (!reported_) reported_ = source_.AccessibleTree();
    // One object per request: the reader owns what it is given.
    auto* object = new AccessibleObject(link_, Tree::kRoot);
    result = AccessibilityLibrary::Get().ResultFromObject(__uuidof(IAccessible), wParam,
                                                          static_cast<IAccessible*>(object));
    object->Release();
    return true;
  }
  if (message == ActionMessage() && link_->source) {
    const Tree tree = source_.AccessibleTree();
    const int node = static_cast<int>(wParam);
    if (tree.Holds(node) && !tree.At(node).defaultAction.empty()) source_.DoDefaultAction(node);
    result = 0;
    return true;
  }
  if (message == WM_DESTROY) Disconnect();
  if (message == WM_NCDESTROY) link_->hwnd = nullptr;
  return false;
}

void AccessibleHost::Update() {
  if (!link_->source || !link_->hwnd) return;
  Tree now = source_.AccessibleTree();
  if (reported_ && ::IsWindowVisible(link_->hwnd)) {
    for (const access::Change& change : access::Changes(*reported_, now)) {
      DWORD event = 0;
      switch (change.kind) {
        case access::Change::Kind::Name:
          event = EVENT_OBJECT_NAMECHANGE;
          break;
        case access::Change::Kind::State:
          event = EVENT_OBJECT_STATECHANGE;
          break;
        case access::Change::Kind::Value:
          event = EVENT_OBJECT_VALUECHANGE;
          break;
        case access::Change::Kind::Selection:
          event = EVENT_OBJECT_SELECTION;
          break;
        case access::Change::Kind::Reorder:
          event = EVENT_OBJECT_REORDER;
          break;
      }
      ::NotifyWinEvent(event, link_->hwnd, OBJID_CLIENT, EventChildId(now, change.node));
    }
  }
  reported_ = std::move(now);
}

void AccessibleHost::NotifyFocus(int node) {
  if (!link_->source || !link_->hwnd) return;
  const Tree tree = source_.AccessibleTree();
  ::NotifyWinEvent(EVENT_OBJECT_FOCUS, link_->hwnd, OBJID_CLIENT, EventChildId(tree, node));
}

void AccessibleHost::Disconnect() {
  link_->source = nullptr;
  link_->hwnd = nullptr;
  reported_.reset();
  // Objects already handed out keep the old link; a window created again gets a new one.
  link_ = std::make_shared<Link>();
  link_->source = &source_;
}

}  // namespace quorvant::win32
