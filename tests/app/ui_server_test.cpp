// UiServer: the window served on loopback behind a token, its HTML as events, input from the page.
#include "app/ui_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <sstream>

#include "DuiLib/UILabel.h"
#include "DuiLib/UIList.h"
#include "support/ui_window.h"

namespace {

using namespace std::chrono_literals;

constexpr std::u16string_view kWindow = uR"(<Window size="300,200"><VerticalLayout name="root">
  <Label name="lblState" text="idle" height="30"/>
  <Button name="btnGo" text="Go" height="30"/>
  <List name="lstRows" height="60"><Label name="row0" height="40"/><Label name="row1" height="40"/></List>
</VerticalLayout></Window>)";

class UiServerTest : public ::testing::Test {
 protected:
  UiServerTest() {
    std::string error;
    EXPECT_TRUE(server.Start(0, error)) << error;
    client = std::make_unique<httplib::Client>("127.0.0.1", server.Port());
  }

  std::string Path(const std::string& path, const std::string& token) { return path + "?token=" + token; }

  // The first event of a fresh stream: its data lines, joined.
  std::string FirstEvent() {
    std::string buffer, event;
    client->Get(Path("/events", server.Token()), [&](const char* data, size_t length) {
      buffer.append(data, length);
      for (size_t end; event.empty() && (end = buffer.find("\n\n")) != std::string::npos; buffer.erase(0, end + 2)) {
        std::istringstream lines(buffer.substr(0, end));
        for (std::string line; std::getline(lines, line);) {
          if (line.rfind("data: ", 0) == 0) event += line.substr(6) + "\n";
        }
      }
      return event.empty();
    });
    return event;
  }

  int Post(const std::string& body) {
    auto result = client->Post(Path("/input", server.Token()), body, "application/json");
    return result ? result->status : -1;
  }

  testenv::UiWindow w{std::u16string(kWindow)};
  app::UiServer server{w.manager};
  std::unique_ptr<httplib::Client> client;
};

TEST_F(UiServerTest, OnlyARequestWithTheTokenIsServedAndOnlyOnLoopback) {
  const struct {
    std::string target;
    int status;
  } cases[] = {
      {"/", 403},
      {"/?token=", 403},
      {"/?token=" + server.Token().substr(1), 403},
      {"/events", 403},
      {"/?token=" + server.Token(), 200},
  };
  for (const auto& c : cases) {
    auto result = client->Get(c.target);
    ASSERT_TRUE(result) << c.target << " " << httplib::to_string(result.error());
    EXPECT_EQ(result->status, c.status) << c.target;
  }
  auto refused = client->Post("/input", R"({"action":"click","id":1})", "application/json");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 403);
  EXPECT_EQ(server.Url(), "http://127.0.0.1:" + std::to_string(server.Port()) + "/?token=" + server.Token());
  EXPECT_EQ(server.Token().size(), 32u);
  EXPECT_NE(server.Token(), app::NewToken());

  // /proc/net/tcp lists listening sockets (state 0A) by local address, in hexadecimal.
  std::ifstream table("/proc/net/tcp");
  std::vector<std::string> addresses;
  char port[8];
  std::snprintf(port, sizeof port, ":%04X", server.Port());
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == port) addresses.push_back(local);
  }
  EXPECT_EQ(addresses, std::vector<std::string>{std::string("0100007F") + port});
}

TEST_F(UiServerTest, TheWindowArrivesAsAnEventAndAgainWhenItChanges) {
  // given the page, and the window's first event
  auto page = client->Get(Path("/", server.Token()));
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("const token = '" + server.Token() + "'"), std::string::npos);
  const std::string first = FirstEvent();
  EXPECT_NE(first.find("data-name=\"btnGo\""), std::string::npos) << first;
  EXPECT_NE(first.find(">idle<"), std::string::npos);

  // when the window changes and is published
  w.Find<DuiLib::CLabelUI>(u"lblState")->SetText(u"busy");
  server.Publish();

  // then a new stream starts from the window as it is now
  EXPECT_NE(FirstEvent().find(">busy<"), std::string::npos);
}

TEST_F(UiServerTest, InputFromThePageIsActedOutOnTheUiThreadAndMalformedInputIsRefused) {
  const auto id = [this](std::u16string_view name) { return std::to_string(w.Find(name)->GetId()); };
  // given input the server refuses, and a click on no control, which does nothing
  for (const std::string body : {"", "[]", "{\"id\":1}", R"({"action":"explode","id":1})",
                                 R"({"action":"click","id":"one"})", "{\"action\":"}) {
    EXPECT_EQ(Post(body), 400) << body;
  }
  EXPECT_EQ(Post(R"({"action":"click","id":999999999})"), 202);

  // when the page sends a click, a mouse entry and a scroll over the list
  EXPECT_EQ(Post(R"({"action":"click","id":)" + id(u"btnGo") + "}"), 202);
  EXPECT_EQ(Post(R"({"action":"enter","id":)" + id(u"btnGo") + "}"), 202);
  EXPECT_EQ(Post(R"({"action":"scroll","x":10,"y":70,"dy":30})"), 202);
  EXPECT_TRUE(w.recorder.seen.empty()) << "nothing happens before the UI loop runs";

  // then the UI loop runs them as the driver's input, in order, and nothing else
  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([this] { return w.recorder.seen.size() >= 2; }, 5s));
  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"click:btnGo", "mouseenter:btnGo"}));
  UIMessageLoop::Instance().RunUntil([this] { return w.Find<DuiLib::CListUI>(u"lstRows")->GetScrollPos().cy > 0; }, 5s);
  EXPECT_EQ(w.Find<DuiLib::CListUI>(u"lstRows")->GetScrollPos().cy, 20);  // as far as the rows go
}

}  // namespace
