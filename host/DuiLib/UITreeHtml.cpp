#include "DuiLib/UITreeHtml.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

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

std::string Escape(std::u16string_view text) {
  std::string out;
  for (char c : platform::Utf16ToUtf8(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "<br>"; break;
      default: out += c;
    }
  }
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

struct LoadedImage {
  std::string dataUri;  // empty when the file cannot be read
  int width = 0;
  int height = 0;
};

LoadedImage LoadImage(const std::string& file) {
  const std::filesystem::path path = std::filesystem::path(platform::AppDirectory()) / platform::NativePath(file);
  LoadedImage image;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    hostlog::Log(log4cplus::DEBUG_LOG_LEVEL, "cannot read the image " + path.string() + ": " + std::strerror(errno),
                 "DuiLib::RenderHtmlBody", "UITreeHtml", __LINE__, __PRETTY_FUNCTION__);
    return image;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string data = bytes.str();
  static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (data.size() < 24 || std::memcmp(data.data(), kPng, 8) != 0) {
    hostlog::Log(log4cplus::DEBUG_LOG_LEVEL,
                 "not a PNG image (" + std::to_string(data.size()) + " bytes): " + path.string(),
                 "DuiLib::RenderHtmlBody", "UITreeHtml", __LINE__, __PRETTY_FUNCTION__);
    return image;
  }
  const auto be32 = [&](size_t at) {
    return int((uint8_t(data[at]) << 24) | (uint8_t(data[at + 1]) << 16) | (uint8_t(data[at + 2]) << 8) | uint8_t(data[at + 3]));
  };
  image.width = be32(16);
  image.height = be32(20);
  image.dataUri = "data:image/png;base64," + Base64(data);
  return image;
}

class HtmlWriter {
 public:
  std::string Window(CPaintManagerUI& manager) {
    manager.UpdateLayout();
    const SIZE size = manager.GetInitSize();
    out_ << "<div class=\"dui-window\" style=\"position:relative;overflow:hidden;width:" << Px(size.cx)
         << ";height:" << Px(size.cy) << "\">";
    if (CControlUI* root = manager.GetRoot()) Control(root, RECT{});
    if (!hover_.empty()) out_ << "<style>" << hover_ << "</style>";
    out_ << "</div>";
    return out_.str();
  }

 private:
  static bool TakesPointer(CControlUI* c) {
    if (!c->IsEnabled() || !c->IsMouseEnabled()) return false;
    if (dynamic_cast<CButtonUI*>(c)) return true;
    if (auto* text = dynamic_cast<CTextUI*>(c); text && text->GetLinkCount() > 0) return true;
    return dynamic_cast<CListUI*>(c->GetParent()) != nullptr;
  }

  static std::string Background(DWORD first, DWORD second) {
    if (second != 0) {
      return "background:linear-gradient(to bottom," + attr::ColorToCss(first) + "," + attr::ColorToCss(second) + ");";
    }
    return first != 0 ? "background:" + attr::ColorToCss(first) + ";" : std::string();
  }

  void Control(CControlUI* c, RECT parent) {
    const RECT rc = c->GetPos();
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    auto* button = dynamic_cast<CButtonUI*>(c);
    auto* option = dynamic_cast<COptionUI*>(c);
    const bool selected = option && option->IsSelected();

    out_ << "<div data-id=\"" << c->GetId() << "\" data-name=\"" << Escape(c->GetName()) << "\" data-class=\""
         << Escape(c->GetClass()) << "\"";
    if (!c->GetToolTip().empty()) out_ << " title=\"" << Escape(c->GetToolTip()) << "\"";
    out_ << " style=\"position:absolute;box-sizing:border-box;overflow:hidden;left:" << Px(rc.left - parent.left)
         << ";top:" << Px(rc.top - parent.top) << ";width:" << Px(width) << ";height:" << Px(height) << ";";
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
    out_ << (TakesPointer(c) ? "pointer-events:auto;cursor:pointer;" : "pointer-events:none;");
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
    if (button) Hover(c, *button);

    if (auto* container = dynamic_cast<CContainerUI*>(c)) {
      for (int i = 0; i < container->GetCount(); ++i) Control(container->GetItemAt(i), rc);
    }
    out_ << "</div>";
  }

  void Hover(CControlUI* c, const CButtonUI& button) {
    if (!c->IsEnabled()) return;
    const std::string rule = "[data-id=\"" + std::to_string(c->GetId()) + "\"]:hover{";
    if (button.GetHotBkColor() != 0) hover_ += rule + "background:" + attr::ColorToCss(button.GetHotBkColor()) + "!important}";
    if (button.GetHotTextColor() != 0) {
      hover_ += "[data-id=\"" + std::to_string(c->GetId()) + "\"]:hover>div{color:" +
                attr::ColorToCss(button.GetHotTextColor()) + "!important}";
    }
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
    out_ << "<div style=\"position:absolute;left:" << Px(dest.left) << ";top:" << Px(dest.top) << ";width:" << Px(dw)
         << ";height:" << Px(dh) << ";";
    auto it = images_.find(desc.file);
    if (it == images_.end()) it = images_.emplace(desc.file, LoadImage(desc.file)).first;
    const LoadedImage& image = it->second;
    if (image.dataUri.empty()) {
      out_ << "box-sizing:border-box;border:1px dashed #b8bcc4;background:rgba(184,188,196,0.25)\"></div>";
      return;
    }
    out_ << "background-image:url(" << image.dataUri << ");background-repeat:no-repeat;";
    const RECT src = desc.source.value_or(RECT{0, 0, image.width, image.height});
    const int sw = src.right - src.left;
    const int sh = src.bottom - src.top;
    if (sw > 0 && sh > 0 && image.width > 0 && image.height > 0) {
      const double fx = double(dw) / sw;
      const double fy = double(dh) / sh;
      out_ << "background-size:" << image.width * fx << "px " << image.height * fy << "px;background-position:"
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
    out_ << "<div style=\"position:absolute;box-sizing:border-box;top:0;bottom:0;display:flex;left:"
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

  std::ostringstream out_;
  std::string hover_;
  std::map<std::string, LoadedImage> images_;
};

}  // namespace

std::string RenderHtmlBody(CPaintManagerUI& manager) { return HtmlWriter().Window(manager); }

std::string RenderHtmlDocument(CPaintManagerUI& manager, std::string_view title) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>"
       << Escape(platform::Utf8ToUtf16(title)) << "</title><style>"
       << "html,body{margin:0;padding:0;background:#FFFFFF;}"
       << "body{font-family:\"Liberation Sans\",Arial,\"WenQuanYi Micro Hei\",sans-serif;}"
       << "</style></head><body>" << RenderHtmlBody(manager) << "</body></html>\n";
  return html.str();
}

}  // namespace DuiLib
