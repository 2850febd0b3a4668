#pragma once
// CDialogBuilder: builds a control tree from a layout file. The layout is XML: an optional
// <Window size="w,h"> element around one root control element; each element names a control
// class (Control, Container, VerticalLayout, HorizontalLayout, List, TabLayout, Label, Text,
// Button, Option, AnimPanel) and its attributes go to the control's SetAttribute in file order;
// child elements become children (only containers have them). Other classes come from the
// callback's CreateControl. Font, Default, Image and Style elements of a Window are the host's
// resources and are passed over.
//
// `xml` is either the layout text itself (it starts with '<') or a file name relative to the
// application directory, written either way ("layout\sysdiagnose_scan.xml" works). With a
// manager, the Window's size (96-DPI units, scaled like every size) becomes the manager's
// initial size in pixels; with a parent container, the root is added to it. A file that cannot be read or parsed, an unknown class, children under a
// control that is not a container, or a layout without a control give null, and the reason is
// logged and kept (GetLastErrorMessage); nothing half-built is left behind.
#include <string>
#include <string_view>

#include "DuiLib/UIControl.h"

namespace DuiLib {

class CPaintManagerUI;

class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  virtual CControlUI* CreateControl(std::u16string_view className) = 0;
};

class CDialogBuilder {
 public:
  CControlUI* Create(std::u16string_view xml, std::u16string_view type = {}, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  // Why the last Create gave null (empty after a success).
  const std::string& GetLastErrorMessage() const { return m_sError; }

  // A new control of one of the library's classes; null for another name.
  static CControlUI* CreateControlOf(std::u16string_view className);

 private:
  std::string m_sError;
};

}  // namespace DuiLib
