#pragma once
// The laid-out control tree of a window as HTML, so that a person sees in a browser what the
// user would see: every control is an absolutely placed box at its laid-out rectangle, with its
// background colours (a second colour is a top-to-bottom gradient), border, corner radius,
// images, and text in the font model's sizes. Images are read from the application directory
// and inlined as data URIs; an image that cannot be read is drawn as a neutral placeholder box.
// Hidden controls are in the document with display:none.
//
// Every control's box carries data-id (CControlUI::GetId, what UIDriver::ClickId takes),
// data-name and data-class; links carry data-link with their index. Only controls the user can
// act on (enabled buttons and options, texts with links, list items) take pointer events.
//
// RenderHtmlBody gives the window alone (one <div class="dui-window">, self-contained inline
// styles), for pages that replace it as the tree changes; RenderHtmlDocument wraps it in a
// whole document. UI thread.
#include <string>
#include <string_view>

#include "DuiLib/UIManager.h"

namespace DuiLib {

std::string RenderHtmlBody(CPaintManagerUI& manager);
std::string RenderHtmlDocument(CPaintManagerUI& manager, std::string_view title = {});

}  // namespace DuiLib
