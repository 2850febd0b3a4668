#include "DuiLib/UIDlgBuilder.h"

#include <rapidxml/rapidxml.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIAttribute.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIHorizontalLayout.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UITabLayout.h"
#include "DuiLib/UIText.h"
#include "DuiLib/UIVerticalLayout.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/xml_depth.h"
#include "utility/Logger.h"

namespace DuiLib {
namespace {

using Node = rapidxml::xml_node<char>;

struct ControlClass {
  std::u16string_view name;
  CControlUI* (*make)();
};

template <class T>
CControlUI* Make() {
  return new T;
}

constexpr ControlClass kClasses[] = {
    {u"Control", &Make<CControlUI>},         {u"Container", &Make<CContainerUI>},
    {u"VerticalLayout", &Make<CVerticalLayoutUI>}, {u"HorizontalLayout", &Make<CHorizontalLayoutUI>},
    {u"List", &Make<CListUI>},               {u"TabLayout", &Make<CTabLayoutUI>},
    {u"Label", &Make<CLabelUI>},             {u"Text", &Make<CTextUI>},
    {u"Button", &Make<CButtonUI>},           {u"Option", &Make<COptionUI>},
    {u"AnimPanel", &Make<CAnimPanelUI>},
};

constexpr std::string_view kWindowResources[] = {"Font", "Default", "Image", "Style"};

std::u16string Text(std::string_view utf8) { return platform::Utf8ToUtf16(utf8); }

std::string_view NameOf(const Node* node) { return std::string_view(node->name(), node->name_size()); }

std::runtime_error TooDeep() {
  return std::runtime_error("the layout nests elements deeper than " + std::to_string(platform::kMaxXmlDepth) +
                            " levels");
}

// Builds the tree of one element; throws the reason of a failure (caught in Create).
class TreeBuilder {
 public:
  explicit TreeBuilder(IDialogBuilderCallback* callback) : callback_(callback) {}

  std::unique_ptr<CControlUI> Build(const Node* element, size_t depth = 1) {
    if (depth > platform::kMaxXmlDepth) throw TooDeep();
    const std::u16string className = Text(NameOf(element));
    std::unique_ptr<CControlUI> control(CDialogBuilder::CreateControlOf(className));
    if (!control && callback_) control.reset(callback_->CreateControl(className));
    if (!control) throw std::runtime_error("unknown control <" + std::string(NameOf(element)) + ">");
    for (auto* a = element->first_attribute(); a; a = a->next_attribute()) {
      control->SetAttribute(Text(std::string_view(a->name(), a->name_size())),
                            Text(std::string_view(a->value(), a->value_size())));
    }
    auto* container = dynamic_cast<CContainerUI*>(control.get());
    for (const Node* child = element->first_node(); child; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      if (!container) {
        throw std::runtime_error("<" + std::string(NameOf(element)) + "> cannot hold <" + std::string(NameOf(child)) + ">");
      }
      container->Add(Build(child, depth + 1).release());
    }
    return control;
  }

 private:
  IDialogBuilderCallback* callback_;
};

bool IsWindowResource(std::string_view name) {
  for (std::string_view resource : kWindowResources) {
    if (name == resource) return true;
  }
  return false;
}

// The layout's root control element, applying the Window's attributes to the manager.
const Node* RootElement(const Node* top, CPaintManagerUI* manager) {
  if (NameOf(top) != "Window") return top;
  if (manager) {
    if (auto* size = top->first_attribute("size")) {
      // 96-DPI units like every size of a layout: the window grows with the screen's scale, so
      // that what the layout lays out in it still fits.
      const SIZE s = attr::ToSize(Text(std::string_view(size->value(), size->value_size())));
      manager->SetInitSize(CResourceManager::Scale(s.cx), CResourceManager::Scale(s.cy));
    }
  }
  for (const Node* child = top->first_node(); child; child = child->next_sibling()) {
    if (child->type() == rapidxml::node_element && !IsWindowResource(NameOf(child))) return child;
  }
  throw std::runtime_error("the layout holds no control");
}

std::string ReadLayoutFile(std::u16string_view name, std::string& path) {
  std::filesystem::path file(platform::NativePath(platform::Utf16ToUtf8(name)));
  if (file.is_relative()) file = std::filesystem::path(platform::AppDirectory()) / file;
  path = file.string();
  std::ifstream in(file, std::ios::binary);
  if (!in || std::filesystem::is_directory(file)) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

CControlUI* CDialogBuilder::CreateControlOf(std::u16string_view className) {
  for (const ControlClass& c : kClasses) {
    if (c.name == className) return c.make();
  }
  return nullptr;
}

CControlUI* CDialogBuilder::Create(std::u16string_view xml, std::u16string_view, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  m_sError.clear();
  std::string source = "layout text";
  try {
    std::string text = !xml.empty() && xml.front() == u'<' ? platform::Utf16ToUtf8(xml) : ReadLayoutFile(xml, source);
    if (platform::XmlNestingDepth(text) > platform::kMaxXmlDepth) throw TooDeep();
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<char> document;
    try {
      document.parse<rapidxml::parse_validate_closing_tags>(buffer.data());
    } catch (const rapidxml::parse_error& e) {
      throw std::runtime_error("malformed XML (" + std::string(e.what()) + " at byte " +
                               std::to_string(e.where<char>() - buffer.data()) + ")");
    }
    const Node* top = document.first_node();
    if (!top) throw std::runtime_error("the layout is empty");
    std::unique_ptr<CControlUI> root = TreeBuilder(callback).Build(RootElement(top, manager));
    if (auto* container = dynamic_cast<CContainerUI*>(parent)) container->Add(root.get());
    return root.release();
  } catch (const std::exception& e) {
    m_sError = source + ": " + e.what();
    hostlog::Warn("cannot build the layout: " + m_sError, "DuiLib::CDialogBuilder::Create", "UIDlgBuilder", __LINE__,
                  __PRETTY_FUNCTION__);
    return nullptr;
  }
}

}  // namespace DuiLib
