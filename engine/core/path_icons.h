#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvant::engine {

// The process list's icons, one per executable path, kept from one rebuild to the next: the
// shell's icon lookup and putting its image into the list are the slow part of a rebuild,
// and a path whose process still runs shows the same icon. A rebuild is a round: the paths
// it shows keep their icons, the others (their processes are gone) are let go when it ends.
// A failed lookup is kept too, so a rebuild where nothing started looks nothing up. Icon is
// whatever stands for a looked-up icon: an owned handle, a place in an image list.
template <typename Icon>
class PathIcons {
 public:
  using Fetch = std::function<Icon(const std::wstring& path)>;

  explicit PathIcons(Fetch fetch) : fetch_(std::move(fetch)) {}

  // A rebuild starts: no path is shown yet.
  void BeginRound() { shown_.clear(); }
  // The icon for a row showing path: the one kept, else one looked up now and kept.
  const Icon& For(const std::wstring& path) {
    shown_.insert(path);
    auto found = kept_.find(path);
    if (found == kept_.end()) {
      ++lookups_;
      found = kept_.emplace(path, fetch_(path)).first;
    }
    return found->second;
  }
  // The rebuild's rows have their icons: those of paths no row shows are let go, and handed
  // back for whatever they hold to be reused or freed.
  std::vector<Icon> EndRound() {
    std::vector<Icon> dropped;
    for (auto it = kept_.begin(); it != kept_.end();) {
      if (shown_.contains(it->first)) {
        ++it;
        continue;
      }
      dropped.push_back(std::move(it->second));
      it = kept_.erase(it);
    }
    return dropped;
  }
  // Lets go of every icon at once.
  void Clear() {
    kept_.clear();
    shown_.clear();
  }

  bool Holds(const std::wstring& path) const { return kept_.contains(path); }
  std::size_t Size() const { return kept_.size(); }
  // Lookups made so far: the cost that keeping icons between rebuilds holds down.
  std::size_t Lookups() const { return lookups_; }

 private:
  Fetch fetch_;
  std::map<std::wstring, Icon> kept_;
  std::set<std::wstring> shown_;
  std::size_t lookups_ = 0;
};

}  // namespace quorvant::engine
