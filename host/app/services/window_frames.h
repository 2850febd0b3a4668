#pragma once
// WindowFrames: the window as the browser's pages receive it, one version per change. A page gets
// the whole window once, then only what changed, as server-sent events whose data is one line of
// JSON and whose id is the version it brings the page to:
//   {"v":N,"whole":"HTML"}          the whole screen (what goes inside the page's #screen)
//   {"v":N,"from":M,"ops":[...]}    what changed from version M to N, applied in order:
//     ["r",KEY]                     remove the element
//     ["s",KEY,HEAD]                the element's attributes and own content are HEAD's
//     ["a",KEY,PARENT,HTML]         (re)place the element, with everything in it, at the end of PARENT
//     ["o",PARENT,[KEY,...]]        PARENT's children elements stand in this order
// KEY is a node's key (HtmlTree): a control's id (its data-id), or a box's data-key; PARENT ""
// is the screen itself. Recent changes are kept, so a stream that fell behind (or a page that
// reconnects with the version it has) gets what it missed; one too far behind gets the whole
// window again.
//
// Threads: Publish on the UI thread; the rest from any thread.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "DuiLib/UITreeHtml.h"

namespace app {

class WindowFrames {
 public:
  // Changes kept for streams that fell behind.
  static constexpr size_t kKeptChanges = 128;

  // The screen as rendered now; false, and no new version, when nothing changed.
  bool Publish(DuiLib::HtmlTree screen);

  uint64_t Version() const;
  // The whole screen's HTML at the newest version, and that version (0 before the first Publish).
  std::shared_ptr<const std::string> Whole(uint64_t& version) const;
  // The events that bring a page at `since` to the newest version: the changes after it when
  // they are kept, else the whole screen; nothing when it is there already.
  std::string EventsSince(uint64_t since) const;

  // One change's ops from `before` to `after` as a JSON array (empty "[]" when nothing changed).
  static std::string Changes(const DuiLib::HtmlTree& before, const DuiLib::HtmlTree& after);

 private:
  struct Change {
    uint64_t version;
    std::string event;
  };

  DuiLib::HtmlTree last_;  // UI thread

  mutable std::mutex lock_;
  uint64_t version_ = 0;
  std::shared_ptr<const std::string> whole_ = std::make_shared<const std::string>();
  mutable std::shared_ptr<const std::string> wholeEvent_;  // of version_, made when first asked for
  std::deque<Change> changes_;
};

}  // namespace app
