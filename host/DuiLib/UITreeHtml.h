#pragma once
// The laid-out control tree of a window as HTML, so that a person sees in a browser what the
// user would see: every control is an absolutely placed box at its laid-out rectangle, with its
// background colours (a second colour is a top-to-bottom gradient), border, corner radius,
// images, and text in the font model's sizes. Images come from the application directory, read
// once per process; a document inlines them as data URIs, a server names them by URL. An image
// that cannot be read is drawn as a neutral placeholder box. Hidden controls are in the document
// with display:none. A container that scrolls draws a scroll bar when its content overflows.
//
// Every control's box carries data-id (CControlUI::GetId, what UIDriver::ClickId takes),
// data-name and data-class; links carry data-link with their index. Only controls the user can
// act on (enabled buttons and options, texts with links, list items) take pointer events and
// keyboard focus (tabindex); list items carry data-item (Enter activates them). A button's hot
// colours are its hover and focus look through the classes of HtmlStyleSheet.
//
// The tree comes as nodes, one per control: the control's opening tag with its own content
// (images, text, scroll bar) and its children, so that a page can replace what changed and keep
// the rest. RenderHtmlBody gives the window alone (one <div class="dui-window">, with inline
// styles and the sheet's classes); RenderHtmlDocument wraps it in a whole document. UI thread.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DuiLib/UIManager.h"

namespace DuiLib {

struct PngImage {
  std::string bytes;
  int width = 0;
  int height = 0;
};

// The PNG image at `file` (relative to the application directory) as read the first time it was
// asked for; null when it was not a PNG image then. Any thread.
std::shared_ptr<const PngImage> LoadPngImage(const std::string& file);

class HtmlTree {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);
  struct Node {
    std::string key;   // a control's id, or the name of a box around controls
    std::string head;  // the opening tag and the control's own content; "</div>" closes it
    std::vector<size_t> children;
  };

  // A node under `parent` (npos: a top-level node); its index.
  size_t Add(size_t parent, std::string key, std::string head);
  const std::vector<Node>& Nodes() const { return m_nodes; }
  const std::vector<size_t>& Tops() const { return m_tops; }
  Node& At(size_t index) { return m_nodes[index]; }
  // The node's element with everything in it.
  std::string Html(size_t index) const;
  // Every top-level node in order.
  std::string Html() const;

 private:
  void AppendHtml(size_t index, std::string& out) const;

  std::vector<Node> m_nodes;
  std::vector<size_t> m_tops;
};

// What a page gives an image as its URL; empty: the image inlined as a data URI.
using HtmlImageUrl = std::function<std::string(const std::string& file, const PngImage& image)>;

// Adds the window under `parent` of `tree` (npos: as a top-level node) and returns the window's
// node. Its key is "window" followed by its root's id.
size_t RenderHtmlTree(CPaintManagerUI& manager, HtmlTree& tree, size_t parent = HtmlTree::npos,
                      const HtmlImageUrl& imageUrl = {});
std::string RenderHtmlBody(CPaintManagerUI& manager);
std::string RenderHtmlDocument(CPaintManagerUI& manager, std::string_view title = {});

// The rules the HTML needs beside its inline styles: the hover and focus looks.
std::string_view HtmlStyleSheet();

// UTF-8 text made safe inside an element or a quoted attribute (&, <, > and ").
std::string EscapeHtml(std::string_view text);

}  // namespace DuiLib
