// sysdiagnose-host layout FILE [--html|--json]: builds a layout file as the plug-in's pages do
// and shows the laid-out tree: an outline (default), the tree as JSON, or one HTML document to
// open in a browser. The window size is the layout's Window size; --machine sets the DPI.
#include <filesystem>
#include <iostream>
#include <sstream>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UITreeHtml.h"
#include "DuiLib/UITreeJson.h"
#include "app/commands/command.h"
#include "platform/encoding.h"

namespace {

constexpr const char* kUsage =
    "usage: sysdiagnose-host layout [--machine FILE] [--data-dir DIR] [--verbose] [--html|--json] FILE";

void Outline(std::ostream& out, DuiLib::CControlUI* control, int depth) {
  const RECT rc = control->GetPos();
  out << std::string(2 * depth, ' ') << platform::Utf16ToUtf8(control->GetClass());
  if (!control->GetName().empty()) out << ' ' << platform::Utf16ToUtf8(control->GetName());
  out << "  " << rc.left << ',' << rc.top << ' ' << rc.right - rc.left << 'x' << rc.bottom - rc.top;
  if (!control->IsVisible()) out << "  hidden";
  out << '\n';
  if (auto* container = dynamic_cast<DuiLib::CContainerUI*>(control)) {
    for (int i = 0; i < container->GetCount(); ++i) Outline(out, container->GetItemAt(i), depth + 1);
  }
}

std::string CheckLayoutArgs(const app::ParsedArgs& parsed) {
  if (parsed.positional.size() != 1) return parsed.positional.empty() ? "a layout FILE is needed" : "one layout FILE";
  if (parsed.flags.size() > 1) return "--html or --json, not both";
  return {};
}

int ShowLayout(const std::vector<std::string>& args) {
  app::ParsedArgs parsed;
  const app::CommandShape shape{
      .name = "layout", .usage = kUsage, .flags = {"--html", "--json"}, .positional = true, .checkArgs = CheckLayoutArgs};
  if (auto exit = app::BeginCommand(shape, args, parsed)) return *exit;

  const std::string file = std::filesystem::absolute(parsed.positional[0]).string();
  DuiLib::CPaintManagerUI manager;
  DuiLib::CDialogBuilder builder;
  DuiLib::CControlUI* root = builder.Create(platform::Utf8ToUtf16(file), {}, nullptr, &manager);
  if (!root) {
    app::PrintError("layout", builder.GetLastErrorMessage());
    return app::kExitUsage;
  }
  manager.AttachDialog(root);

  if (parsed.flags.count("--json")) {
    app::PrintJson(nlohmann::ordered_json(DuiLib::ControlTreeToJson(root)));
    return app::kExitOk;
  }
  std::ostringstream out;
  if (parsed.flags.count("--html")) {
    out << DuiLib::RenderHtmlDocument(manager, std::filesystem::path(file).filename().string());
  } else {
    Outline(out, root, 0);
  }
  std::cout << out.str();
  return app::kExitOk;
}

}  // namespace

REGISTER_COMMAND("layout", "build a layout file and show its laid-out tree (--json, --html)", ShowLayout);
