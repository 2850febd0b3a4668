// What the window shows: text measuring, the tree as JSON and as HTML.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

  EXPECT_EQ(body.rfind("<div class=\"dui-window\"", 0), 0u);
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
  EXPECT_NE(body.find("data-name=\"gone\" data-class=\"Control\" style=\"position:absolute;box-sizing:border-box;overflow:hidden;left:0px;top:0px;width:0px;height:0px;display:none;"),
            std::string::npos);
}

}  // namespace
