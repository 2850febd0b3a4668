// What the window shows: text measuring, the tree as JSON and as HTML.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DuiLib/UIList.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UITreeHtml.h"
#include "DuiLib/UITreeJson.h"
#include "platform/paths.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using testenv::UiWindow;

SIZE Measure(std::u16string_view text, int font, UINT style, int width = 9999) {
  RECT rc{10, 20, 10 + width, 9999};
  CRenderEngine::DrawText(nullptr, rc, text, 0, font, style | DT_CALCRECT);
  return SIZE{rc.right - 10, rc.bottom - 20};
}

TEST(TextMeasuring, FollowsTheDocumentedFontModel) {
  struct Case {
    std::u16string_view text;
    int font;
    UINT style;
    int width;
    SIZE expected;
  };
  const Case cases[] = {
      {u"", 0, DT_SINGLELINE, 9999, {0, 16}},
      {u"ab", 0, DT_SINGLELINE, 9999, {14, 16}},            // 2 × 0.55 × 12 = 13.2
      {u"Il m", 0, DT_SINGLELINE, 9999, {21, 16}},          // (0.33 + 0.25 + 0.28 + 0.85) × 12
      {u"ab", 1, DT_SINGLELINE, 9999, {15, 16}},            // bold: 10% wider
      {u"硬盘", 4, DT_SINGLELINE, 9999, {28, 19}},          // wide characters: one em each at 14 px
      {u"aaaa aaaa aaaa", 0, DT_WORDBREAK, 60, {57, 32}},   // two words fit a line of 60, the third wraps
      {u"aaaaaaaaaaaa", 0, DT_WORDBREAK, 30, {27, 48}},     // a word wider than the line breaks inside
      {u"one\ntwo", 0, DT_WORDBREAK, 9999, {21, 32}},
      {u"aaaa aaaa aaaa", 0, DT_SINGLELINE, 60, {86, 16}},  // one line however narrow the rectangle
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Measure(c.text, c.font, c.style, c.width), c.expected) << platform::Utf16ToUtf8(c.text);
  }
  RECT untouched{0, 0, 5, 5};
  CRenderEngine::DrawText(nullptr, untouched, u"text", 0, 0, DT_SINGLELINE);
  EXPECT_EQ(untouched, (RECT{0, 0, 5, 5})) << "without DT_CALCRECT nothing is measured";
  // Markup is measured without its tags, each run in its own font: 13.2 × 1.1 + 3.36 + 6.6.
  EXPECT_EQ(CRenderEngine::GetTextSize(nullptr, u"{b}ab{/b} {a}x{/a}", 0, DT_SINGLELINE, true).cx, 25);
}

constexpr char16_t kSmallTree[] = uR"(<Window size="200,120"><VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <Label name="title" height="30" text="Disks &amp; &lt;memory&gt;" textcolor="#FF7F7F7F" tooltip="tip"/>
    <Option name="pick" height="20" selected="true" group="g" normalimage="file='drawable/hardware/none.png'"/>
    <Control name="icon" width="42" height="42" bkimage="file='shot.png' source='0,0,2,2' dest='1,1,21,21'"/>
    <Text name="link" height="20" showhtml="true" text="{c #FFFA2A2D}red{/c} {a}send{/a}"/>
    <Control name="gone" visible="false"/></VerticalLayout></Window>)";

TEST(TreeJson, DescribesEveryControlWithStableFields) {
  UiWindow w(kSmallTree);
  const nlohmann::json tree = ControlTreeToJson(w.manager.GetRoot());

  EXPECT_EQ(tree["class"], "VerticalLayout");
  EXPECT_EQ(tree["bkcolor"], "#FFFFFFFF");
  ASSERT_EQ(tree["children"].size(), 5u);
  const nlohmann::json& title = tree["children"][0];
  EXPECT_EQ(title["id"], w.Find(u"title")->GetId());
  EXPECT_EQ(title["name"], "title");
  EXPECT_EQ(title["text"], "Disks & <memory>");
  EXPECT_EQ(title["tooltip"], "tip");
  EXPECT_EQ(title["pos"], (nlohmann::json{{"x", 0}, {"y", 0}}));
  EXPECT_EQ(title["size"], (nlohmann::json{{"width", 200}, {"height", 30}}));
  EXPECT_FALSE(title.contains("children"));
  const nlohmann::json& pick = tree["children"][1];
  EXPECT_EQ(pick["selected"], true);
  EXPECT_EQ(pick["images"]["normal"], "file='drawable/hardware/none.png'");
  EXPECT_EQ(pick["pos"]["y"], 30);
  EXPECT_EQ(tree["children"][3]["links"], 1);
  const nlohmann::json& gone = tree["children"][4];
  EXPECT_EQ(gone["visible"], false);
  EXPECT_EQ(gone["shown"], false);
}

TEST(TreeHtml, DrawsTheTreeAtItsPositionsWithItsIdsNamesTextsAndImages) {
  // One image the window can find (a 2×2 PNG in the application directory) and one it cannot.
  const std::filesystem::path png = std::filesystem::path(platform::AppDirectory()) / "shot.png";
  static const unsigned char k2x2[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                                       'D', 'R', 0, 0, 0, 2, 0, 0, 0, 2, 8, 6, 0, 0, 0};
  std::ofstream(png, std::ios::binary).write(reinterpret_cast<const char*>(k2x2), sizeof(k2x2));
  UiWindow w(kSmallTree);

  const std::string body = RenderHtmlBody(w.manager);
  const std::string document = RenderHtmlDocument(w.manager, "small");
  std::filesystem::remove(png);

  EXPECT_EQ(body.rfind("<div data-key=\"window", 0), 0u);
  EXPECT_NE(body.find("class=\"dui-window\" style=\"position:relative;overflow:hidden;width:200px;height:120px\""), std::string::npos);
  EXPECT_NE(document.find(body), std::string::npos);
  EXPECT_NE(document.find("<title>small</title>"), std::string::npos);
  const std::string pickId = std::to_string(w.Find(u"pick")->GetId());
  EXPECT_NE(body.find("data-id=\"" + pickId + "\" data-name=\"pick\" data-class=\"Option\""), std::string::npos);
  EXPECT_NE(body.find("top:30px;width:200px;height:20px;"), std::string::npos);
  EXPECT_NE(body.find("Disks &amp; &lt;memory&gt;"), std::string::npos);
  EXPECT_NE(body.find("title=\"tip\""), std::string::npos);
  EXPECT_NE(body.find("background-image:url(data:image/png;base64,iVBORw0KGgo"), std::string::npos);
  EXPECT_NE(body.find("left:1px;top:1px;width:20px;height:20px;"), std::string::npos) << "the image's dest";
  EXPECT_NE(body.find("border:1px dashed"), std::string::npos) << "the missing image's placeholder";
  EXPECT_NE(body.find("<a href=\"#\" data-link=\"0\""), std::string::npos);
  EXPECT_NE(body.find("color:rgba(250,42,45,1.000)"), std::string::npos);
  EXPECT_NE(body.find("data-name=\"gone\" data-class=\"Control\" style=\"left:0px;top:0px;width:0px;height:0px;display:none;"),
            std::string::npos);
  EXPECT_NE(document.find(std::string(HtmlStyleSheet())), std::string::npos) << "the boxes' common look";
}

// One node per control: the page replaces what changed. Keys reach what the pointer acts on,
// a list item only when nothing in it takes the focus; a list whose content overflows draws its
// scroll bar; a button's hot colours are its hover and focus look.
TEST(TreeHtml, EachControlsNodeCarriesItsFocusHoverAndScrollLook) {
  UiWindow w(uR"(<Window size="200,140"><VerticalLayout name="root">
    <Button name="go" height="20" text="Go" hotbkcolor="#FF00FF00" hottextcolor="#FF0000FF"/>
    <Label name="plain" height="20" text="plain"/>
    <Button name="off" height="20" text="Off" enabled="false" hotbkcolor="#FF00FF00"/>
    <List name="rows" height="60">
      <HorizontalLayout name="rowA" height="40"><Option name="tick" width="20"/></HorizontalLayout>
      <HorizontalLayout name="rowB" height="40"><Label name="inB"/><Button name="hit" float="true" pos="0,0,20,20"/></HorizontalLayout>
      <HorizontalLayout name="rowC" height="40"/>
    </List></VerticalLayout></Window>)");
  HtmlTree tree;
  const size_t window = RenderHtmlTree(w.manager, tree);
  const auto head = [&](std::u16string_view name) {
    const std::string key = std::to_string(w.Find(name)->GetId());
    for (const auto& node : tree.Nodes()) {
      if (node.key == key) return node.head;
    }
    return std::string("no node");
  };

  EXPECT_EQ(tree.Nodes()[window].key, "window" + std::to_string(w.Find(u"root")->GetId()));
  EXPECT_EQ(tree.Html(), RenderHtmlBody(w.manager));
  const struct {
    std::u16string_view name;
    bool focus;
  } focusable[] = {{u"go", true},   {u"plain", false}, {u"off", false}, {u"rowA", false},
                   {u"tick", true}, {u"rowB", false},  {u"hit", true},  {u"rowC", true}};
  for (const auto& c : focusable) {
    EXPECT_EQ(head(c.name).find("tabindex=\"0\"") != std::string::npos, c.focus) << platform::Utf16ToUtf8(c.name);
  }
  EXPECT_NE(head(u"rowC").find("data-item"), std::string::npos) << "Enter opens a list item";
  EXPECT_NE(head(u"go").find("class=\"dui-hot-bg dui-hot-text\""), std::string::npos) << head(u"go");
  EXPECT_NE(head(u"go").find("--hot-bg:rgba(0,255,0,1.000);--hot-text:rgba(0,0,255,1.000);"), std::string::npos);
  EXPECT_EQ(head(u"off").find("dui-hot"), std::string::npos) << "a disabled button has no hover";
  EXPECT_NE(head(u"hit").find("class=\"dui-hit\""), std::string::npos) << "a float button without text or image";
  EXPECT_NE(HtmlStyleSheet().find(".dui-hot-bg:hover"), std::string_view::npos);
  EXPECT_NE(HtmlStyleSheet().find(":focus-visible"), std::string_view::npos);

  // 60 of 120 shown: a thumb half as long as the list, at the top, then halfway down
  EXPECT_NE(head(u"rows").find("<div class=\"dui-scrollbar\" style=\"top:0px;height:30px\">"), std::string::npos)
      << head(u"rows");
  w.Find<CListUI>(u"rows")->SetScrollPos(SIZE{0, 30});
  HtmlTree scrolled;
  RenderHtmlTree(w.manager, scrolled);
  EXPECT_NE(scrolled.Html().find("<div class=\"dui-scrollbar\" style=\"top:15px;height:30px\">"), std::string::npos);
  EXPECT_EQ(tree.Html().find("dui-scrollbar", tree.Html().find("data-name=\"rowA\"")), std::string::npos)
      << "a container that does not scroll has none";
}

TEST(TreeHtml, NamesImagesByTheUrlAPageGivesThemAndReadsEachOnce) {
  const std::filesystem::path png = std::filesystem::path(platform::AppDirectory()) / "once.png";
  static const unsigned char k2x2[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                                       'D', 'R', 0, 0, 0, 2, 0, 0, 0, 2, 8, 6, 0, 0, 0};
  std::ofstream(png, std::ios::binary).write(reinterpret_cast<const char*>(k2x2), sizeof(k2x2));
  UiWindow w(uR"(<Window size="40,40"><VerticalLayout name="root">
    <Control name="a" height="10" bkimage="file='once.png'"/><Control name="b" height="10" bkimage="once.png"/>
    </VerticalLayout></Window>)");
  std::vector<std::string> asked;
  const HtmlImageUrl url = [&](const std::string& file, const PngImage& image) {
    asked.push_back(file + " " + std::to_string(image.width) + "x" + std::to_string(image.height));
    return "/images/" + file;
  };

  HtmlTree tree;
  RenderHtmlTree(w.manager, tree, HtmlTree::npos, url);
  std::filesystem::remove(png);
  const auto image = LoadPngImage("once.png");

  EXPECT_EQ(asked, std::vector<std::string>{"once.png 2x2"}) << "one URL per image and render";
  EXPECT_EQ(tree.Html().find("data:image"), std::string::npos);
  EXPECT_NE(tree.Html().find("background-image:url(/images/once.png);"), std::string::npos);
  ASSERT_NE(image, nullptr) << "read once, kept after the file went";
  EXPECT_EQ(image->bytes.size(), sizeof(k2x2));
  EXPECT_EQ(LoadPngImage("no-such.png"), nullptr);
}

}  // namespace
