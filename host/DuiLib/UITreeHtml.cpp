#include "DuiLib/UITreeHtml.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIAttribute.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UIText.h"
#include "DuiLib/UITextMarkup.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "utility/Logger.h"

namespace DuiLib {
namespace {

constexpr DWORD kDefaultTextColor = 0xFF000000;
constexpr DWORD kDefaultDisabledTextColor = 0xFFA5A5A5;

// A control's text: a line break shows as one.
std::string Escape(std::u16string_view text) {
  std::string out = EscapeHtml(platform::Utf16ToUtf8(text));
  for (size_t at = out.find('\n'); at != std::string::npos; at = out.find('\n', at + 4)) out.replace(at, 1, "<br>");
  return out;
}

std::string Px(int value) { return std::to_string(value) + "px"; }

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
    out += {kDigits[n >> 18], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], kDigits[n & 63]};
  }
  if (i + 1 == bytes.size()) {
    const uint32_t n = uint8_t(bytes[i]) << 16;
    out += {kDigits[n >> 18], kDigits[(n >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
    out += {kDigits[n >> 18], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], '='};
  }
  return out;
}

// An image description: "file='a.png' source='l,t,r,b' dest='l,t,r,b'", or a bare file name.
struct ImageDesc {
  std::string file;
  std::optional<RECT> source;
  std::optional<RECT> dest;
};

ImageDesc ParseImage(std::u16string_view desc) {
  ImageDesc image;
  if (desc.find(u"file='") == std::u16string_view::npos) {
    image.file = platform::Utf16ToUtf8(desc);
    return image;
  }
  size_t at = 0;
  while (at < desc.size()) {
    const size_t eq = desc.find(u"='", at);
    if (eq == std::u16string_view::npos) break;
    const size_t close = desc.find(u'\'', eq + 2);
    if (close == std::u16string_view::npos) break;
    std::u16string_view key = desc.substr(at, eq - at);
    while (!key.empty() && key.front() == u' ') key.remove_prefix(1);
    const std::u16string_view value = desc.substr(eq + 2, close - eq - 2);
    if (key == u"file") image.file = platform::Utf16ToUtf8(value);
    if (key == u"source") image.source = attr::ToRect(value);
    if (key == u"dest") image.dest = attr::ToRect(value);
    at = close + 1;
  }
  return image;
}

// The images of the process, each read once: the window asks for the same few icons on every
// render.
struct ImageCache {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<const PngImage>> images;  // null: no PNG image there
};

ImageCache& Images() {
  static ImageCache* cache = new ImageCache();  // never destroyed: renders may run at exit
  return *cache;
}

std::shared_ptr<const PngImage> ReadPngImage(const std::string& file) {
  const std::filesystem::path path = std::filesystem::path(platform::AppDirectory()) / platform::NativePath(file);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    hostlog::Log(log4cplus::DEBUG_LOG_LEVEL, "cannot read the image " + path.string() + ": " + std::strerror(errno),
                 "DuiLib::RenderHtmlBody", "UITreeHtml", __LINE__, __PRETTY_FUNCTION__);
    return nullptr;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto image = std::make_shared<PngImage>();
  image->bytes = bytes.str();
  const std::string& data = image->bytes;
  static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 24 || std::memcmp(data.data(), kPng, 8) != 0) {
    hostlog::Log(log4cplus::DEBUG_LOG_LEVEL,
                 "not a PNG image (" + std::to_string(data.size()) + " bytes): " + path.string(),
                 "DuiLib::RenderHtmlBody", "UITreeHtml", __LINE__, __PRETTY_FUNCTION__);
    return nullptr;
  }
  const auto be32 = [&](size_t at) {
    return int((uint8_t(data[at]) << 24) | (uint8_t(data[at + 1]) << 16) | (uint8_t(data[at + 2]) << 8) | uint8_t(data[at + 3]));
  };
  image->width = be32(16);
  image->height = be32(20);
  return image;
}

std::string InlineImage(const std::string&, const PngImage& image) { return "data:image/png;base64," + Base64(image.bytes); }

class HtmlWriter {
 public:
  HtmlWriter(HtmlTree& tree, const HtmlImageUrl& imageUrl) : tree_(tree), imageUrl_(imageUrl ? imageUrl : InlineImage) {}

  size_t Window(CPaintManagerUI& manager, size_t parent) {
    manager.UpdateLayout();
    const SIZE size = manager.GetInitSize();
    CControlUI* root = manager.GetRoot();
    const std::string key = "window" + std::to_string(root ? root->GetId() : 0);
    const size_t node = tree_.Add(parent, key,
                                  "<div data-key=\"" + key +
                                      "\" class=\"dui-window\" style=\"position:relative;overflow:hidden;width:" + Px(size.cx) +
                                      ";height:" + Px(size.cy) + "\">");
    if (root) Control(root, RECT{}, node);
    return node;
  }

 private:
  static bool TakesPointer(CControlUI* c) {
    if (!c->IsEnabled() || !c->IsMouseEnabled()) return false;
    if (dynamic_cast<CButtonUI*>(c)) return true;
    if (auto* text = dynamic_cast<CTextUI*>(c); text && text->GetLinkCount() > 0) return true;
    return IsListItem(c);
  }
  static bool IsListItem(CControlUI* c) { return dynamic_cast<CListUI*>(c->GetParent()) != nullptr; }
  // A text's links take the focus, not the text around them; a list item only when nothing in it
  // does (its controls are what the keys press).
  static bool TakesFocus(CControlUI* c) {
    if (!TakesPointer(c)) return false;
    if (auto* text = dynamic_cast<CTextUI*>(c); text && text->GetLinkCount() > 0) return false;
    return !IsListItem(c) || !HoldsFocus(c);
  }
  static bool HoldsFocus(CControlUI* c) {
    auto* container = dynamic_cast<CContainerUI*>(c);
    for (int i = 0; container && i < container->GetCount(); ++i) {
      CControlUI* child = container->GetItemAt(i);
      if (TakesPointer(child) || HoldsFocus(child)) return true;
    }
    return false;
  }

  static std::string Background(DWORD first, DWORD second) {
    if (second != 0) {
      return "background:linear-gradient(to bottom," + attr::ColorToCss(first) + "," + attr::ColorToCss(second) + ");";
    }
    return first != 0 ? "background:" + attr::ColorToCss(first) + ";" : std::string();
  }

  void Control(CControlUI* c, RECT parent, size_t parentNode) {
    out_.str({});
    const RECT rc = c->GetPos();
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    auto* button = dynamic_cast<CButtonUI*>(c);
    auto* option = dynamic_cast<COptionUI*>(c);
    const bool selected = option && option->IsSelected();

    out_ << "<div data-id=\"" << c->GetId() << "\" data-name=\"" << Escape(c->GetName()) << "\" data-class=\""
         << Escape(c->GetClass()) << "\"";
    if (!c->GetToolTip().empty()) out_ << " title=\"" << Escape(c->GetToolTip()) << "\"";
    if (TakesFocus(c)) out_ << " tabindex=\"0\"";
    if (TakesFocus(c) && IsListItem(c)) out_ << " data-item=\"\"";
    const std::string classes = button && c->IsEnabled() ? ButtonClasses(*button) : std::string();
    if (!classes.empty()) out_ << " class=\"" << classes << "\"";
    // A hidden control keeps the rectangle of its last layout: where it would be says nothing.
    const RECT at = c->IsVisible() ? RECT{rc.left - parent.left, rc.top - parent.top, width, height} : RECT{};
    out_ << " style=\"left:" << Px(at.left)
         << ";top:" << Px(at.top) << ";width:" << Px(at.right) << ";height:" << Px(at.bottom) << ";";
    if (!c->IsVisible()) out_ << "display:none;";
    DWORD bk = c->GetBkColor();
    DWORD bk2 = c->GetBkColor2();
    if (selected && option->GetSelectedBkColor() != 0) {
      bk = option->GetSelectedBkColor();
      bk2 = option->GetSelectedBkColor2();
    }
    if (button && !c->IsEnabled() && button->GetDisabledBkColor() != 0) {
      bk = button->GetDisabledBkColor();
      bk2 = 0;
    }
    out_ << Background(bk, bk2);
    if (c->GetBorderSize() > 0) {
      out_ << "border:" << Px(c->GetBorderSize()) << " solid " << attr::ColorToCss(c->GetBorderColor()) << ";";
    }
    if (c->GetBorderRound() > 0) out_ << "border-radius:" << Px(c->GetBorderRound()) << ";";
    if (TakesPointer(c)) out_ << "pointer-events:auto;cursor:pointer;";
    if (!classes.empty()) out_ << HotColours(*button);
    out_ << "\">";

    Image(c->GetBkImage(), width, height);
    if (option && selected && !option->GetSelectedImage().empty()) {
      Image(option->GetSelectedImage(), width, height);
    } else if (button && !c->IsEnabled() && !button->GetDisabledImage().empty()) {
      Image(button->GetDisabledImage(), width, height);
    } else if (button) {
      Image(button->GetNormalImage(), width, height);
    }
    if (auto* panel = dynamic_cast<CAnimPanelUI*>(c)) Image(panel->GetCurrentFrameImage(), width, height);
    if (dynamic_cast<CLabelUI*>(c) && !c->GetText().empty()) Text(c, selected);
    auto* container = dynamic_cast<CContainerUI*>(c);
    if (container) ScrollBar(*container, height);

    const size_t node = tree_.Add(parentNode, std::to_string(c->GetId()), out_.str());
    if (container) {
      for (int i = 0; i < container->GetCount(); ++i) Control(container->GetItemAt(i), rc, node);
    }
  }

  // The classes that give a button its hot colours on hover and focus, and mark a hit area: a
  // float button without text or image over other controls, whose box the focus ring shows
  // instead (see HtmlStyleSheet).
  static std::string ButtonClasses(const CButtonUI& button) {
    std::vector<std::string> classes;
    if (button.GetHotBkColor() != 0) classes.push_back("dui-hot-bg");
    if (button.GetHotTextColor() != 0) classes.push_back("dui-hot-text");
    if (button.IsFloat() && button.GetText().empty() && button.GetNormalImage().empty() && button.GetBkImage().empty()) {
      classes.push_back("dui-hit");
    }
    std::string joined;
    for (const std::string& c : classes) joined += (joined.empty() ? "" : " ") + c;
    return joined;
  }
  static std::string HotColours(const CButtonUI& button) {
    std::string colours;
    if (button.GetHotBkColor() != 0) colours += "--hot-bg:" + attr::ColorToCss(button.GetHotBkColor()) + ";";
    if (button.GetHotTextColor() != 0) colours += "--hot-text:" + attr::ColorToCss(button.GetHotTextColor()) + ";";
    return colours;
  }

  // A thumb on the right edge as long as the visible part is of the content, where the scroll
  // position puts it; none when everything is in view.
  void ScrollBar(const CContainerUI& container, int height) {
    if (!container.IsScrollEnabled() || height <= 0) return;
    const int range = container.GetScrollRange().cy;
    if (range <= 0) return;
    const int content = height + range;
    const int thumb = std::max(std::min(height, 24), static_cast<int>(int64_t(height) * height / content));
    const int top = static_cast<int>(int64_t(height - thumb) * container.GetScrollPos().cy / range);
    out_ << "<div class=\"dui-scrollbar\" style=\"top:" << Px(top) << ";height:" << Px(thumb) << "\"></div>";
  }

  void Image(std::u16string_view description, int width, int height) {
    if (description.empty()) return;
    const ImageDesc desc = ParseImage(description);
    RECT dest{0, 0, width, height};
    if (desc.dest) {
      const auto s = [](int v) { return CResourceManager::Scale(v); };
      dest = RECT{s(desc.dest->left), s(desc.dest->top), s(desc.dest->right), s(desc.dest->bottom)};
    }
    const int dw = dest.right - dest.left;
    const int dh = dest.bottom - dest.top;
    out_ << "<div class=\"dui-image\" style=\"left:" << Px(dest.left) << ";top:" << Px(dest.top) << ";width:" << Px(dw)
         << ";height:" << Px(dh) << ";";
    const std::shared_ptr<const PngImage> image = LoadPngImage(desc.file);
    if (!image) {
      out_ << "box-sizing:border-box;border:1px dashed #b8bcc4;background:rgba(184,188,196,0.25)\"></div>";
      return;
    }
    auto url = urls_.find(desc.file);
    if (url == urls_.end()) url = urls_.emplace(desc.file, imageUrl_(desc.file, *image)).first;
    out_ << "background-image:url(" << url->second << ");";
    const RECT src = desc.source.value_or(RECT{0, 0, image->width, image->height});
    const int sw = src.right - src.left;
    const int sh = src.bottom - src.top;
    if (sw > 0 && sh > 0 && image->width > 0 && image->height > 0) {
      const double fx = double(dw) / sw;
      const double fy = double(dh) / sh;
      out_ << "background-size:" << image->width * fx << "px " << image->height * fy << "px;background-position:"
           << -src.left * fx << "px " << -src.top * fy << "px";
    } else {
      out_ << "background-size:100% 100%";
    }
    out_ << "\"></div>";
  }

  void Text(CControlUI* c, bool selected) {
    DWORD color = c->GetTextColor() != 0 ? c->GetTextColor() : kDefaultTextColor;
    if (!c->IsEnabled()) color = c->GetDisabledTextColor() != 0 ? c->GetDisabledTextColor() : kDefaultDisabledTextColor;
    auto* option = dynamic_cast<COptionUI*>(c);
    if (selected && option->GetSelectedTextColor() != 0) color = option->GetSelectedTextColor();
    const UINT style = c->GetTextStyle();
    const bool wrap = (style & DT_WORDBREAK) != 0 && (style & DT_SINGLELINE) == 0;
    const RECT padding = c->GetTextPadding();
    const char* justify = (style & DT_CENTER) ? "center" : (style & DT_RIGHT) ? "flex-end" : "flex-start";
    const char* align = wrap ? "flex-start" : (style & DT_VCENTER) ? "center" : (style & DT_BOTTOM) ? "flex-end" : "flex-start";
    // The box of a line reaches 2 pixels past the control (which clips it) on the side the text
    // grows to, so that a browser font a little wider than the font model does not cut a text that
    // fits. Text that wraps breaks at the control's own width, where the font model breaks it.
    const bool centred = (style & DT_CENTER) != 0;
    const bool right = (style & DT_RIGHT) != 0;
    const char* slack = wrap ? "0" : "-2px";
    out_ << "<div class=\"dui-text\" style=\"left:"
         << (centred || right ? slack : "0") << ";right:" << (right ? "0" : slack) << ";"
         << "padding:" << Px(padding.top) << " " << Px(padding.right) << " " << Px(padding.bottom) << " "
         << Px(padding.left) << ";justify-content:" << justify << ";align-items:" << align
         << ";color:" << attr::ColorToCss(color) << ";" << Font(c->GetFont(), false) << "\">";
    out_ << "<span style=\"min-width:0;" << (wrap ? "white-space:pre-wrap;overflow-wrap:anywhere;"
                                                  : "white-space:pre;overflow:hidden;")
         << ((style & DT_END_ELLIPSIS) ? "text-overflow:ellipsis;" : "")
         << ((style & DT_CENTER) ? "text-align:center;" : (style & DT_RIGHT) ? "text-align:right;" : "") << "\">";
    if (c->IsShowHtml()) {
      Runs(c->GetText());
    } else {
      out_ << Escape(c->GetText());
    }
    out_ << "</span></div>";
  }

  static std::string Font(int index, bool bold) {
    const TFontInfo& font = CPaintManagerUI::GetFontInfo(index);
    const int size = CResourceManager::Scale(font.size);
    return "font-size:" + Px(size) + ";line-height:" + Px(CPaintManagerUI::GetFontHeight(index)) +
           ";font-weight:" + (font.bold || bold ? "bold" : "normal") + ";";
  }

  void Runs(std::u16string_view text) {
    for (const TTextRun& run : ParseTextMarkup(text)) {
      if (run.lineBreak) {
        out_ << "<br>";
        continue;
      }
      std::string css;
      if (run.font >= 0 || run.bold) css += Font(run.font >= 0 ? run.font : 0, run.bold);
      if (run.color != 0) css += "color:" + attr::ColorToCss(run.color) + ";";
      if (run.italic) css += "font-style:italic;";
      if (run.underline) css += "text-decoration:underline;";
      if (run.link >= 0) {
        out_ << "<a href=\"#\" data-link=\"" << run.link
             << "\" style=\"pointer-events:auto;color:#2D78FC;text-decoration:underline;" << css << "\">"
             << Escape(run.text) << "</a>";
      } else {
        out_ << "<span style=\"" << css << "\">" << Escape(run.text) << "</span>";
      }
    }
  }

  HtmlTree& tree_;
  HtmlImageUrl imageUrl_;
  std::ostringstream out_;
  std::map<std::string, std::string> urls_;  // of the images, by file
};

}  // namespace

std::shared_ptr<const PngImage> LoadPngImage(const std::string& file) {
  ImageCache& cache = Images();
  std::lock_guard lock(cache.lock);
  const auto it = cache.images.find(file);
  if (it != cache.images.end()) return it->second;
  return cache.images.emplace(file, ReadPngImage(file)).first->second;
}

size_t HtmlTree::Add(size_t parent, std::string key, std::string head) {
  m_nodes.push_back(Node{std::move(key), std::move(head), {}});
  const size_t index = m_nodes.size() - 1;
  (parent == npos ? m_tops : m_nodes[parent].children).push_back(index);
  return index;
}

void HtmlTree::AppendHtml(size_t index, std::string& out) const {
  const Node& node = m_nodes[index];
  out += node.head;
  for (size_t child : node.children) AppendHtml(child, out);
  out += "</div>";
}

std::string HtmlTree::Html(size_t index) const {
  std::string out;
  AppendHtml(index, out);
  return out;
}

std::string HtmlTree::Html() const {
  std::string out;
  for (size_t top : m_tops) AppendHtml(top, out);
  return out;
}

size_t RenderHtmlTree(CPaintManagerUI& manager, HtmlTree& tree, size_t parent, const HtmlImageUrl& imageUrl) {
  return HtmlWriter(tree, imageUrl).Window(manager, parent);
}

std::string RenderHtmlBody(CPaintManagerUI& manager) {
  HtmlTree tree;
  RenderHtmlTree(manager, tree);
  return tree.Html();
}

std::string RenderHtmlDocument(CPaintManagerUI& manager, std::string_view title) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>"
       << Escape(platform::Utf8ToUtf16(title)) << "</title><style>"
       << "html,body{margin:0;padding:0;background:#FFFFFF;}"
       << "body{font-family:\"Liberation Sans\",Arial,\"WenQuanYi Micro Hei\",sans-serif;}" << HtmlStyleSheet()
       << "</style></head><body>" << RenderHtmlBody(manager) << "</body></html>\n";
  return html.str();
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string_view HtmlStyleSheet() {
  // What every box, image and text has in common; the focus ring sits inside the box, as every
  // box clips what lies outside it.
  return "[data-id]{position:absolute;box-sizing:border-box;overflow:hidden;pointer-events:none}"
         ".dui-image{position:absolute;background-repeat:no-repeat}"
         ".dui-text{position:absolute;box-sizing:border-box;top:0;bottom:0;display:flex}"
         ".dui-window [tabindex],.dui-window a[data-link]{outline:none}"
         ".dui-window [tabindex]:focus-visible:not(.dui-hit),.dui-window a[data-link]:focus-visible,"
         ".dui-window div:has(>.dui-hit:focus-visible){"
         "outline:2px solid #2D78FC;outline-offset:-2px;box-shadow:inset 0 0 0 4px rgba(45,120,252,0.18)}"
         ".dui-hot-bg:hover,.dui-hot-bg:focus-visible{background:var(--hot-bg)!important}"
         ".dui-hot-text:hover>div,.dui-hot-text:focus-visible>div{color:var(--hot-text)!important}"
         ".dui-scrollbar{position:absolute;z-index:1;right:2px;width:6px;border-radius:3px;"
         "background:rgba(31,35,41,0.30);pointer-events:none}";
}

}  // namespace DuiLib
