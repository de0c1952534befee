#include "shell/core/skin_access.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvant::shell {
namespace {

SkinFacts Facts(Entry selected) {
  SkinFacts f;
  f.windowName = L"Quorvant";
  f.client = {0, 0, 786, 557};
  for (int i = 0; i < kEntryCount; ++i)
    f.entries[static_cast<size_t>(i)] = {7, 134 + 35 * i, 236, 36};
  f.selected = selected;
  f.minimise = {720, 6, 28, 15};
  f.close = {752, 6, 28, 15};
  return f;
}

TEST(SkinAccessTest, TheColumnIsATabListWithTheShownPanelSelected) {
  for (const EntryLayout& shown : kEntries) {
    const access::Tree tree = SkinTree(Facts(shown.entry));
    EXPECT_EQ(tree.Children(access::Tree::kRoot),
              (std::vector<int>{kPanelListNode, kMinimiseNode, kCloseNode}));
    EXPECT_EQ(tree.At(kPanelListNode).role, access::Role::PageTabList);
    const std::vector<int> tabs = tree.Children(kPanelListNode);
    ASSERT_EQ(tabs.size(), static_cast<size_t>(kEntryCount));
    for (const EntryLayout& entry : kEntries) {
      const int node = kFirstEntryNode + static_cast<int>(entry.entry);
      EXPECT_EQ(tree.At(node).name, entry.labelText);
      EXPECT_EQ(tree.At(node).role, access::Role::PageTab);
      EXPECT_EQ((tree.At(node).state & access::kSelected) != 0, entry.entry == shown.entry);
      EXPECT_EQ(SkinDefaultAction(node), (SkinAction{SkinAction::Kind::Select, entry.entry}));
    }
  }
  const access::Tree tree = SkinTree(Facts(Entry::State));
  EXPECT_EQ(tree.At(access::Tree::kRoot).name, L"Quorvant");
  EXPECT_EQ(tree.BoxOf(kPanelListNode), (access::Box{7, 134, 236, 211}));
  EXPECT_EQ(tree.HitTest(access::Tree::kRoot, 20, 134 + 35 * 3 + 10), kFirstEntryNode + 3);
}

TEST(SkinAccessTest, TitleButtonsPressAndSayWhatTheyDo) {
  SkinFacts facts = Facts(Entry::State);
  facts.closeLook = TitleButton::Look::Pressed;
  const access::Tree tree = SkinTree(facts);
  EXPECT_EQ(tree.At(kMinimiseNode).name, L"Minimize");
  EXPECT_EQ(tree.At(kCloseNode).name, L"Close");
  EXPECT_EQ(tree.At(kMinimiseNode).state, 0u);
  EXPECT_EQ(tree.At(kCloseNode).state, access::kPressed);
  EXPECT_EQ(tree.HitTest(access::Tree::kRoot, 760, 10), kCloseNode);
  EXPECT_EQ(tree.Navigate(kMinimiseNode, access::Direction::Right), kCloseNode);
  EXPECT_EQ(SkinDefaultAction(kMinimiseNode), SkinAction{SkinAction::Kind::Minimise});
  EXPECT_EQ(SkinDefaultAction(kCloseNode), SkinAction{SkinAction::Kind::Hide});
  EXPECT_EQ(SkinDefaultAction(kPanelListNode), SkinAction{});
  EXPECT_EQ(SkinDefaultAction(access::Tree::kRoot), SkinAction{});
}

}  // namespace
}  // namespace quorvant::shell
