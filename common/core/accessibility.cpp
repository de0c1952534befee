#include "common/core/accessibility.h"

#include <cstdlib>
#include <cwctype>
#include <limits>

#include "common/core/rounding.h"

namespace quorvant::access {

Tree::Tree(Element root, Box rootBox) { nodes_.push_back({-1, std::move(root), rootBox}); }

int Tree::Add(int parent, Element element, Box box) {
  nodes_.push_back({Holds(parent) ? parent : kRoot, std::move(element), box});
  return Size() - 1;
}

std::vector<int> Tree::Children(int node) const {
  std::vector<int> children;
  for (int i = 1; i < Size(); ++i) {
    if (Parent(i) == node) children.push_back(i);
  }
  return children;
}

std::optional<int> Tree::HitTest(int from, int x, int y) const {
  if (!Holds(from) || !BoxOf(from).Contains(x, y)) return std::nullopt;
  for (const int child : Children(from)) {
    if (At(child).state & kInvisible) continue;
    if (const auto hit = HitTest(child, x, y)) return hit;
  }
  return from;
}

namespace {

int CentreX(const Box& b) { return b.left + b.width / 2; }
int CentreY(const Box& b) { return b.top + b.height / 2; }

}  // namespace

std::optional<int> Tree::Navigate(int node, Direction direction) const {
  if (!Holds(node)) return std::nullopt;
  if (direction == Direction::FirstChild || direction == Direction::LastChild) {
    const std::vector<int> children = Children(node);
    if (children.empty()) return std::nullopt;
    return direction == Direction::FirstChild ? children.front() : children.back();
  }
  if (node == kRoot) return std::nullopt;  // the window's neighbours are the system's to find
  const std::vector<int> siblings = Children(Parent(node));
  size_t at = 0;
  while (siblings[at] != node) ++at;
  if (direction == Direction::Next) {
    if (at + 1 < siblings.size()) return siblings[at + 1];
    return std::nullopt;
  }
  if (direction == Direction::Previous) {
    if (at > 0) return siblings[at - 1];
    return std::nullopt;
  }
  // On screen: the nearest sibling whose centre lies that way, the main axis first.
  const Box& from = BoxOf(node);
  std::optional<int> best;
  long bestMain = std::numeric_limits<long>::max(), bestCross = bestMain;
  for (const int sibling : siblings) {
    if (sibling == node) continue;
    const Box& to = BoxOf(sibling);
    const long dx = CentreX(to) - CentreX(from), dy = CentreY(to) - CentreY(from);
    long main = 0, cross = 0;
    switch (direction) {
      case Direction::Up:
        main = -dy, cross = std::labs(dx);
        break;
      case Direction::Down:
        main = dy, cross = std::labs(dx);
        break;
      case Direction::Left:
        main = -dx, cross = std::labs(dy);
        break;
      default:
        main = dx, cross = std::labs(dy);
        break;
    }
    if (main <= 0) continue;
    if (main < bestMain || (main == bestMain && cross < bestCross)) {
      best = sibling, bestMain = main, bestCross = cross;
    }
  }
  return best;
}

std::vector<int> Tree::Selected(int node) const {
  std::vector<int> selected;
  for (const int child : Children(node)) {
    if (At(child).state & kSelected) selected.push_back(child);
  }
  return selected;
}

std::vector<Change> Changes(const Tree& before, const Tree& after) {
  bool sameShape = before.Size() == after.Size();
  for (int i = 1; sameShape && i < after.Size(); ++i)
    sameShape = before.Parent(i) == after.Parent(i);
  if (!sameShape) return {{Change::Kind::Reorder, Tree::kRoot}};
  std::vector<Change> changes;
  for (int i = 0; i < after.Size(); ++i) {
    const Element& was = before.At(i);
    const Element& now = after.At(i);
    if (was.name != now.name) changes.push_back({Change::Kind::Name, i});
    if (was.state != now.state) changes.push_back({Change::Kind::State, i});
    if (was.value != now.value) changes.push_back({Change::Kind::Value, i});
    if ((now.state & kSelected) && !(was.state & kSelected)) {
      changes.push_back({Change::Kind::Selection, i});
    }
  }
  return changes;
}

std::wstring NameFromCaption(std::wstring_view caption) {
  std::wstring name;
  name.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != L'&') {
      name += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == L'&') {
      name += L'&';
      ++i;
    }
  }
  return name;
}

std::wstring ShortcutFromAccessKey(std::optional<wchar_t> accessKey) {
  if (!accessKey) return {};
  return std::wstring(L"Alt+") + static_cast<wchar_t>(std::towupper(*accessKey));
}

Element DescribeCommand(const CommandFacts& facts) {
  Element e;
  e.role = Role::PushButton;
  e.name = NameFromCaption(facts.caption);
  e.keyboardShortcut = ShortcutFromAccessKey(facts.accessKey);
  if (facts.enabled) {
    e.state |= kFocusable;
    // A disabled button does nothing when pressed, so it offers no action.
    e.defaultAction = kActionPress;
  } else {
    e.state |= kUnavailable;
  }
  if (facts.focused) e.state |= kFocused;
  if (facts.pressed) e.state |= kPressed;
  if (facts.isDefault) e.state |= kDefault;
  if (!facts.visible) e.state |= kInvisible;
  return e;
}

Element DescribePanelList() {
  Element e;
  e.role = Role::PageTabList;
  e.name = kPanelListName;
  return e;
}

Element DescribePanelEntry(std::wstring_view label, bool shown) {
  Element e;
  e.role = Role::PageTab;
  e.name = label;
  e.state = kSelectable | (shown ? kSelected : 0);
  e.defaultAction = kActionSwitch;
  return e;
}

Element DescribeTitleButton(TitleButtonKind kind, bool pressed) {
  Element e;
  e.role = Role::PushButton;
  e.name = kind == TitleButtonKind::Minimise ? kMinimiseName : kCloseName;
  if (kind == TitleButtonKind::Close) e.description = L"Keeps running in the notification area";
  e.state = pressed ? kPressed : 0;
  e.defaultAction = kActionPress;
  return e;
}

Element DescribeLink(std::wstring_view text, bool focused) {
  Element e;
  e.role = Role::Link;
  e.name = text;
  e.state = kFocusable | kLinked | (focused ? kFocused : 0);
  e.defaultAction = kActionOpen;
  return e;
}

Element DescribeText(std::wstring_view text) {
  Element e;
  e.role = Role::StaticText;
  e.name = text;
  e.state = kReadOnly;
  return e;
}

namespace {

std::wstring Percent(double value) { return std::to_wstring(NearestInt(value)) + L"%"; }

// "C:\" is read as "drive C:".
std::wstring DriveName(std::wstring_view drive) {
  while (!drive.empty() && (drive.back() == L'\\' || drive.back() == L'/')) drive.remove_suffix(1);
  if (drive.empty()) return L"disk";
  return L"drive " + std::wstring(drive);
}

}  // namespace

std::wstring MonitorSummary(const MonitorFigures& f) {
  if (!f.sampled) return L"No readings yet";
  std::wstring text;
  auto add = [&text](const std::wstring& part) {
    if (!text.empty()) text += L", ";
    text += part;
  };
  if (f.cpu) add(*f.cpu < 0 ? std::wstring(L"CPU unknown") : L"CPU " + Percent(*f.cpu));
  if (f.memory) add(L"memory " + Percent(*f.memory));
  if (f.pageFile) add(L"page file " + Percent(*f.pageFile));
  if (f.virtualMemory) add(L"virtual memory " + Percent(*f.virtualMemory));
  if (f.diskFree) add(DriveName(f.drive) + L" " + Percent(*f.diskFree) + L" free");
  if (text.empty()) return L"No curves shown";
  text[0] = static_cast<wchar_t>(std::towupper(text[0]));
  return text;
}

Element DescribeMonitor(const MonitorFigures& figures) {
  Element e;
  e.role = Role::Chart;
  e.name = kMonitorName;
  e.value = MonitorSummary(figures);
  e.state = kReadOnly | (figures.enabled ? 0 : kUnavailable) | (figures.visible ? 0 : kInvisible);
  return e;
}

}  // namespace quorvant::access
