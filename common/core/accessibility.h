#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvant::access {

// What a screen reader is told about the controls the program draws itself. The platform
// layer maps these roles and states onto its own accessibility constants.
enum class Role { Client, PushButton, PageTabList, PageTab, Link, Chart, StaticText };

// State bits of one object.
using States = std::uint32_t;
inline constexpr States kUnavailable = 1u << 0;
inline constexpr States kFocusable = 1u << 1;
inline constexpr States kFocused = 1u << 2;
inline constexpr States kPressed = 1u << 3;
inline constexpr States kSelectable = 1u << 4;
inline constexpr States kSelected = 1u << 5;
inline constexpr States kInvisible = 1u << 6;
inline constexpr States kLinked = 1u << 7;
inline constexpr States kReadOnly = 1u << 8;
inline constexpr States kDefault = 1u << 9;

// Default actions, as a screen reader offers them.
inline constexpr std::wstring_view kActionPress = L"Press";
inline constexpr std::wstring_view kActionOpen = L"Open";
inline constexpr std::wstring_view kActionSwitch = L"Switch";

struct Element {
  Role role = Role::Client;
  std::wstring name;
  // A changing reading, such as the graph's figures; empty when the object has none.
  std::wstring value;
  std::wstring description;
  std::wstring keyboardShortcut;
  States state = 0;
  // Empty when the object has no default action.
  std::wstring defaultAction;

  friend bool operator==(const Element&, const Element&) = default;
};

// A place in the window's client area, in pixels.
struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  bool Contains(int x, int y) const {
    return x >= left && y >= top && x < left + width && y < top + height;
  }
  friend bool operator==(const Box&, const Box&) = default;
};

enum class Direction { Next, Previous, FirstChild, LastChild, Up, Down, Left, Right };

// The objects of one window: node 0 is the window's client area, every other node a part
// of it (or of another part). Children keep the order in which they were added, which is
// the reading order.
class Tree {
 public:
  static constexpr int kRoot = 0;

  explicit Tree(Element root, Box rootBox = {});

  // Adds a part under parent and returns its node.
  int Add(int parent, Element element, Box box);

  int Size() const { return static_cast<int>(nodes_.size()); }
  bool Holds(int node) const { return node >= 0 && node < Size(); }
  const Element& At(int node) const { return nodes_[static_cast<size_t>(node)].element; }
  const Box& BoxOf(int node) const { return nodes_[static_cast<size_t>(node)].box; }
  int Parent(int node) const { return nodes_[static_cast<size_t>(node)].parent; }
  std::vector<int> Children(int node) const;

  // The innermost visible node under `from` that holds the point: `from` itself when none
  // of its parts does, nullopt when the point lies outside `from`.
  std::optional<int> HitTest(int from, int x, int y) const;
  // A sibling in reading order or on screen, or the first or last part; nullopt where
  // there is none.
  std::optional<int> Navigate(int node, Direction direction) const;
  // The selected parts of node.
  std::vector<int> Selected(int node) const;

 private:
  struct Node {
    int parent;
    Element element;
    Box box;
  };
  std::vector<Node> nodes_;
};

// What changed between two pictures of the same window, for the events a screen reader
// listens to. Nodes are compared by position; a tree whose shape changed is reported as a
// change of the root's reorder.
struct Change {
  enum class Kind { Name, State, Value, Selection, Reorder };
  Kind kind;
  int node;
  friend bool operator==(const Change&, const Change&) = default;
};
std::vector<Change> Changes(const Tree& before, const Tree& after);

// ---- What each of the program's own controls reports ----

// The caption as it is read: without its access-key marker, "&&" read as one "&".
std::wstring NameFromCaption(std::wstring_view caption);
// "Alt+R" for the access key r; empty without one.
std::wstring ShortcutFromAccessKey(std::optional<wchar_t> accessKey);

struct CommandFacts {
  std::wstring_view caption;
  std::optional<wchar_t> accessKey;
  bool enabled = true;
  bool visible = true;
  bool focused = false;
  bool pressed = false;
  // The form shows it as the button Enter presses.
  bool isDefault = false;
};
Element DescribeCommand(const CommandFacts& facts);

// The navigation column: a page tab list with one page tab per panel, the shown one
// selected.
inline constexpr std::wstring_view kPanelListName = L"Panels";
Element DescribePanelList();
Element DescribePanelEntry(std::wstring_view label, bool shown);

enum class TitleButtonKind { Minimise, Close };
inline constexpr std::wstring_view kMinimiseName = L"Minimize";
inline constexpr std::wstring_view kCloseName = L"Close";
Element DescribeTitleButton(TitleButtonKind kind, bool pressed);

Element DescribeLink(std::wstring_view text, bool focused);

// A text the program paints, such as a caption beside a figure.
Element DescribeText(std::wstring_view text);

// The graph's latest figures, as whole percentages of what it draws. A curve that is not
// drawn is not read either.
struct MonitorFigures {
  bool sampled = false;  // false before the first sample
  bool enabled = true;
  bool visible = true;
  std::optional<double> cpu;  // a failed reading is negative
  std::optional<double> memory;
  std::optional<double> pageFile;
  std::optional<double> virtualMemory;
  std::optional<double> diskFree;
  std::wstring_view drive;  // such as "C:\"
};
inline constexpr std::wstring_view kMonitorName = L"System monitor";
// "CPU 23%, memory 41%, page file 30%, virtual memory 2%, drive C: 58% free".
std::wstring MonitorSummary(const MonitorFigures& figures);
Element DescribeMonitor(const MonitorFigures& figures);

}  // namespace quorvant::access
