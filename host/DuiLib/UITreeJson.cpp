#include "DuiLib/UITreeJson.h"

#include <cstdio>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UITabLayout.h"
#include "DuiLib/UIText.h"
#include "platform/encoding.h"

namespace DuiLib {
namespace {

std::string U8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string Color(DWORD argb) {
  char text[10];
  std::snprintf(text, sizeof(text), "#%08X", argb);
  return text;
}

bool Shown(const CControlUI* control) {
  for (const CControlUI* c = control; c; c = c->GetParent()) {
    if (!c->IsVisible()) return false;
  }
  return true;
}

nlohmann::json Images(CControlUI* control) {
  nlohmann::json images = nlohmann::json::object();
  const auto add = [&](const char* key, std::u16string_view image) {
    if (!image.empty()) images[key] = U8(image);
  };
  add("bk", control->GetBkImage());
  if (auto* button = dynamic_cast<CButtonUI*>(control)) add("normal", button->GetNormalImage());
  if (auto* option = dynamic_cast<COptionUI*>(control)) add("selected", option->GetSelectedImage());
  if (auto* panel = dynamic_cast<CAnimPanelUI*>(control)) add("frame", panel->GetCurrentFrameImage());
  return images;
}

nlohmann::json Node(CControlUI* c) {
  const RECT rc = c->GetPos();
  const RECT p = c->GetPadding();
  nlohmann::json node = {
      {"id", c->GetId()},
      {"class", U8(c->GetClass())},
      {"name", U8(c->GetName())},
      {"text", U8(c->GetText())},
      {"tooltip", U8(c->GetToolTip())},
      {"userdata", U8(c->GetUserData())},
      {"visible", c->IsVisible()},
      {"shown", Shown(c)},
      {"enabled", c->IsEnabled()},
      {"mouse", c->IsMouseEnabled()},
      {"pos", {{"x", rc.left}, {"y", rc.top}}},
      {"size", {{"width", rc.right - rc.left}, {"height", rc.bottom - rc.top}}},
      {"fixed", {{"width", c->GetFixedWidth()}, {"height", c->GetFixedHeight()}}},
      {"padding", {p.left, p.top, p.right, p.bottom}},
      {"float", c->IsFloat()},
      {"font", c->GetFont()},
      {"textcolor", Color(c->GetTextColor())},
      {"bkcolor", Color(c->GetBkColor())},
      {"bkcolor2", Color(c->GetBkColor2())},
      {"images", Images(c)},
  };
  if (auto* option = dynamic_cast<COptionUI*>(c)) {
    node["selected"] = option->IsSelected();
    node["group"] = U8(option->GetGroup());
  }
  if (auto* panel = dynamic_cast<CAnimPanelUI*>(c)) {
    node["animation"] = {{"playing", panel->IsPlaying()},          {"frame", panel->GetCurrentFrame()},
                         {"first", panel->GetFirstFrame()},        {"last", panel->GetLastFrame()},
                         {"loop", panel->IsLoop()},                {"elapse", panel->GetElapse()},
                         {"image", U8(panel->GetFrameImage())}};
  }
  if (auto* text = dynamic_cast<CTextUI*>(c); text && text->GetLinkCount() > 0) node["links"] = text->GetLinkCount();
  if (auto* container = dynamic_cast<CContainerUI*>(c)) {
    if (container->IsScrollEnabled()) {
      node["scroll"] = {{"pos", container->GetScrollPos().cy}, {"range", container->GetScrollRange().cy}};
    }
    if (auto* tab = dynamic_cast<CTabLayoutUI*>(c)) node["cursel"] = tab->GetCurSel();
    nlohmann::json children = nlohmann::json::array();
    for (int i = 0; i < container->GetCount(); ++i) children.push_back(Node(container->GetItemAt(i)));
    node["children"] = std::move(children);
  }
  return node;
}

}  // namespace

nlohmann::json ControlTreeToJson(CControlUI* root) {
  if (!root) return nullptr;
  if (CPaintManagerUI* manager = root->GetManager()) manager->UpdateLayout();
  return Node(root);
}

}  // namespace DuiLib
