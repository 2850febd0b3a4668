#include "app/services/window_frames.h"

#include <nlohmann/json.hpp>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace app {
namespace {

using DuiLib::HtmlTree;

struct Place {
  std::string parent;  // "" for a top-level node
  size_t index;
};

// Every node's parent, by key.
std::unordered_map<std::string, Place> Places(const HtmlTree& tree) {
  std::unordered_map<std::string, Place> places;
  const auto& nodes = tree.Nodes();
  for (size_t top : tree.Tops()) places[nodes[top].key] = Place{"", top};
  for (size_t i = 0; i < nodes.size(); ++i) {
    for (size_t child : nodes[i].children) places[nodes[child].key] = Place{nodes[i].key, child};
  }
  return places;
}

std::string Event(uint64_t version, const nlohmann::json& data) {
  return "id: " + std::to_string(version) + "\ndata: " + data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
         "\n\n";
}

class Differ {
 public:
  Differ(const HtmlTree& before, const HtmlTree& after)
      : before_(before), after_(after), was_(Places(before)), is_(Places(after)) {}

  nlohmann::json Ops() {
    Removals();
    Walk("", after_.Tops());
    nlohmann::json ops = nlohmann::json::array();
    for (auto* list : {&removes_, &sets_, &adds_, &orders_}) {
      for (auto& op : *list) ops.push_back(std::move(op));
    }
    return ops;
  }

 private:
  // A node stays in place when it had the same parent before.
  bool Stays(const std::string& key) const {
    const auto was = was_.find(key);
    const auto is = is_.find(key);
    return was != was_.end() && is != is_.end() && was->second.parent == is->second.parent;
  }

  // The outermost nodes that are gone or moved away: their elements go, with what is in them.
  void Removals() {
    for (size_t top : before_.Tops()) RemoveUnder(top);
  }
  void RemoveUnder(size_t index) {
    const auto& node = before_.Nodes()[index];
    if (!Stays(node.key)) {
      if (!is_.count(node.key)) removes_.push_back({"r", node.key});
      return;  // a moved node is placed anew with what is in it
    }
    for (size_t child : node.children) RemoveUnder(child);
  }

  // The children of `parent` in the new tree: new or moved ones placed whole, the others
  // compared; then their order, when what the page has differs from it.
  void Walk(const std::string& parent, const std::vector<size_t>& children) {
    std::vector<std::string> expected;
    std::vector<std::string> placed;
    for (size_t child : children) {
      const auto& node = after_.Nodes()[child];
      if (Stays(node.key)) {
        const auto& old = before_.Nodes()[was_.at(node.key).index];
        if (old.head != node.head) sets_.push_back({"s", node.key, node.head});
        Walk(node.key, node.children);
      } else {
        adds_.push_back({"a", node.key, parent, after_.Html(child)});
        placed.push_back(node.key);
      }
    }
    // What the page holds after the removals and additions: the staying children in their old
    // order, then the placed ones.
    const std::vector<size_t>& old =
        parent.empty() ? before_.Tops() : (was_.count(parent) ? before_.Nodes()[was_.at(parent).index].children : none_);
    for (size_t child : old) {
      const std::string& key = before_.Nodes()[child].key;
      if (Stays(key)) expected.push_back(key);
    }
    expected.insert(expected.end(), placed.begin(), placed.end());
    std::vector<std::string> order;
    for (size_t child : children) order.push_back(after_.Nodes()[child].key);
    if (order != expected) orders_.push_back({"o", parent, order});
  }

  const HtmlTree& before_;
  const HtmlTree& after_;
  const std::unordered_map<std::string, Place> was_;
  const std::unordered_map<std::string, Place> is_;
  const std::vector<size_t> none_;
  std::vector<nlohmann::json> removes_, sets_, adds_, orders_;
};

}  // namespace

std::string WindowFrames::Changes(const HtmlTree& before, const HtmlTree& after) {
  return Differ(before, after).Ops().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool WindowFrames::Publish(HtmlTree screen) {
  nlohmann::json ops = Differ(last_, screen).Ops();
  if (ops.empty()) return false;
  auto whole = std::make_shared<const std::string>(screen.Html());
  last_ = std::move(screen);
  std::lock_guard lock(lock_);
  const uint64_t from = version_++;
  changes_.push_back(Change{version_, Event(version_, {{"v", version_}, {"from", from}, {"ops", std::move(ops)}})});
  if (changes_.size() > kKeptChanges) changes_.pop_front();
  whole_ = std::move(whole);
  wholeEvent_.reset();
  return true;
}

uint64_t WindowFrames::Version() const {
  std::lock_guard lock(lock_);
  return version_;
}

std::shared_ptr<const std::string> WindowFrames::Whole(uint64_t& version) const {
  std::lock_guard lock(lock_);
  version = version_;
  return whole_;
}

std::string WindowFrames::EventsSince(uint64_t since) const {
  std::lock_guard lock(lock_);
  if (since == version_) return {};
  // A page at 0 has nothing to change.
  const bool kept = since > 0 && since < version_ && !changes_.empty() && changes_.front().version <= since + 1;
  if (!kept) {
    if (!wholeEvent_) wholeEvent_ = std::make_shared<const std::string>(Event(version_, {{"v", version_}, {"whole", *whole_}}));
    return *wholeEvent_;
  }
  std::string events;
  for (const Change& change : changes_) {
    if (change.version > since) events += change.event;
  }
  return events;
}

}  // namespace app
