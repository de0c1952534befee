#include "shell/core/skin_access.h"

namespace quorvant::shell {

access::Tree SkinTree(const SkinFacts& facts) {
  access::Element window;
  window.name = facts.windowName;
  access::Tree tree(window, facts.client);
  // The column's box spans its entries.
  const access::Box& first = facts.entries.front();
  const access::Box& last = facts.entries.back();
  const int list =
      tree.Add(access::Tree::kRoot, access::DescribePanelList(),
               {first.left, first.top, first.width, last.top + last.height - first.top});
  for (const EntryLayout& entry : kEntries) {
    tree.Add(list, access::DescribePanelEntry(entry.labelText, entry.entry == facts.selected),
             facts.entries[static_cast<size_t>(entry.entry)]);
  }
  tree.Add(access::Tree::kRoot,
           access::DescribeTitleButton(access::TitleButtonKind::Minimise,
                                       facts.minimiseLook == TitleButton::Look::Pressed),
           facts.minimise);
  tree.Add(access::Tree::kRoot,
           access::DescribeTitleButton(access::TitleButtonKind::Close,
                                       facts.closeLook == TitleButton::Look::Pressed),
           facts.close);
  return tree;
}

SkinAction SkinDefaultAction(int node) {
  if (node >= kFirstEntryNode && node < kFirstEntryNode + kEntryCount) {
    return {SkinAction::Kind::Select, static_cast<Entry>(node - kFirstEntryNode)};
  }
  if (node == kMinimiseNode) return {SkinAction::Kind::Minimise};
  if (node == kCloseNode) return {SkinAction::Kind::Hide};
  return {};
}

}  // namespace quorvant::shell
