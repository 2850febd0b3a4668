// WindowFrames: what a page receives of the window, one version per change, as changes only.
#include "app/services/window_frames.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using DuiLib::HtmlTree;

// A screen written as nested keys: "a(b c(d))" is box a holding b and c, c holding d. Every box's
// head names its key and carries `looks[key]` when given.
HtmlTree Screen(const std::string& shape, const std::map<std::string, std::string>& looks = {}) {
  HtmlTree tree;
  std::vector<size_t> parents{HtmlTree::npos};
  std::string key;
  const auto flush = [&] {
    if (key.empty()) return;
    const auto look = looks.find(key);
    const size_t node = tree.Add(parents.back(), key,
                                 "<div data-id=\"" + key + "\">" + (look == looks.end() ? "" : look->second));
    parents.push_back(node);  // a "(" follows, or the next flush pops it
    key.clear();
  };
  for (char c : shape + " ") {
    if (c == '(') {
      flush();
    } else if (c == ' ' || c == ')') {
      if (!key.empty()) {
        flush();
        parents.pop_back();
      }
      if (c == ')') parents.pop_back();
    } else {
      key += c;
    }
  }
  return tree;
}

// The page's side, as the header describes it: boxes by key, a placed subtree kept as its HTML.
class Page {
 public:
  explicit Page(const HtmlTree& tree) {
    for (size_t top : tree.Tops()) Copy(tree, top, "");
  }

  void Apply(const nlohmann::json& ops) {
    for (const auto& op : ops) {
      const std::string kind = op[0];
      if (kind == "r") {
        Detach(op[1]);
      } else if (kind == "s") {
        boxes_.at(op[1]).head = op[2];
      } else if (kind == "a") {
        if (boxes_.count(op[1])) Detach(op[1]);
        boxes_[op[1]] = Box{op[3], op[2], {}, true};
        Children(op[2]).push_back(op[1]);
      } else if (kind == "o") {
        std::vector<std::string> order = op[2];
        Children(op[1]) = order;
      }
    }
  }

  std::string Html() const {
    std::string out;
    for (const std::string& key : tops_) Append(key, out);
    return out;
  }

 private:
  struct Box {
    std::string head;
    std::string parent;
    std::vector<std::string> children;
    bool whole = false;  // head is the whole subtree's HTML
  };

  void Copy(const HtmlTree& tree, size_t index, const std::string& parent) {
    const auto& node = tree.Nodes()[index];
    boxes_[node.key] = Box{node.head, parent, {}, false};
    Children(parent).push_back(node.key);
    for (size_t child : node.children) Copy(tree, child, node.key);
  }
  std::vector<std::string>& Children(const std::string& key) { return key.empty() ? tops_ : boxes_.at(key).children; }
  void Detach(const std::string& key) {
    auto& siblings = Children(boxes_.at(key).parent);
    std::erase(siblings, key);
    boxes_.erase(key);
  }
  void Append(const std::string& key, std::string& out) const {
    const Box& box = boxes_.at(key);
    out += box.head;
    if (box.whole) return;
    for (const std::string& child : box.children) Append(child, out);
    out += "</div>";
  }

  std::map<std::string, Box> boxes_;
  std::vector<std::string> tops_;
};

TEST(WindowFramesTest, APageThatAppliesTheChangesShowsTheNewScreenAndGetsNoMoreThanChanged) {
  const struct Case {
    const char* what;
    HtmlTree before;
    HtmlTree after;
    std::vector<std::string> ops;  // kind and key of each op, in order
  } cases[] = {
      {"nothing changed", Screen("w(a b)"), Screen("w(a b)"), {}},
      {"one text", Screen("w(a(t) b)", {{"t", "idle"}}), Screen("w(a(t) b)", {{"t", "busy"}}), {"s t"}},
      {"an item added at the end", Screen("w(l(i1 i2))"), Screen("w(l(i1 i2 i3(x y)))"), {"a i3"}},
      {"an item added first", Screen("w(l(i1 i2))"), Screen("w(l(i0 i1 i2))"), {"a i0", "o l"}},
      {"an item taken out", Screen("w(l(i1(x) i2))"), Screen("w(l(i2))"), {"r i1"}},
      {"items reordered", Screen("w(l(i1 i2 i3))"), Screen("w(l(i3 i1 i2))"), {"o l"}},
      {"a box moved to another parent", Screen("w(p(m(x)) q)"), Screen("w(p q(m(x)))"), {"a m"}},
      {"a dialog over the window", Screen("w(a)"), Screen("w(a) modal(d(b))"), {"a modal"}},
      {"the dialog closed", Screen("w(a) modal(d(b))"), Screen("w(a)"), {"r modal"}},
      {"the window replaced", Screen("w(a(b))"), Screen("v(a(b))"), {"r w", "a v"}},
  };
  for (const Case& c : cases) {
    const nlohmann::json ops = nlohmann::json::parse(app::WindowFrames::Changes(c.before, c.after));
    std::vector<std::string> kinds;
    for (const auto& op : ops) kinds.push_back(op[0].get<std::string>() + " " + op[1].get<std::string>());
    EXPECT_EQ(kinds, c.ops) << c.what << ": " << ops.dump();

    Page page(c.before);
    page.Apply(ops);
    EXPECT_EQ(page.Html(), c.after.Html()) << c.what;
  }
}

TEST(WindowFramesTest, AStreamGetsTheChangesItMissedOrTheWholeScreenWhenTooFarBehind) {
  app::WindowFrames frames;
  EXPECT_EQ(frames.Version(), 0u);
  EXPECT_TRUE(frames.Publish(Screen("w(t)", {{"t", "0"}})));
  EXPECT_FALSE(frames.Publish(Screen("w(t)", {{"t", "0"}}))) << "the same screen again is no new version";
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(frames.Publish(Screen("w(t)", {{"t", std::to_string(i)}})));
  EXPECT_EQ(frames.Version(), 4u);
  uint64_t version = 0;
  EXPECT_EQ(*frames.Whole(version), Screen("w(t)", {{"t", "3"}}).Html());
  EXPECT_EQ(version, 4u);

  // a page at version 2 gets versions 3 and 4, as two events of one op each
  const std::string missed = frames.EventsSince(2);
  EXPECT_EQ(missed.rfind("id: 3\ndata: {\"from\":2,\"ops\":[[\"s\",\"t\",", 0), 0u) << missed;
  EXPECT_NE(missed.find("\n\nid: 4\ndata: {\"from\":3,"), std::string::npos) << missed;
  EXPECT_EQ(frames.EventsSince(4), "");
  // a new page (0), one from another run of the server (9) and one older than what is kept get the whole
  EXPECT_EQ(frames.EventsSince(0).rfind("id: 4\ndata: {\"v\":4,\"whole\":", 0), 0u);
  EXPECT_EQ(frames.EventsSince(9).rfind("id: 4\ndata: {\"v\":4,\"whole\":", 0), 0u);
  for (size_t i = 0; i < app::WindowFrames::kKeptChanges; ++i) frames.Publish(Screen("w(t)", {{"t", "x" + std::to_string(i)}}));
  EXPECT_NE(frames.EventsSince(3).find("\"whole\":"), std::string::npos);
  EXPECT_EQ(frames.EventsSince(4 + 1).find("\"whole\":"), std::string::npos) << "the oldest kept change still applies";
}

}  // namespace
