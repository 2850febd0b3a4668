// UiServer: the window served on loopback behind a token, its HTML as events, input from the page.
#include "app/ui_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

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

  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }

  int Post(const std::string& body) {
    auto result = client->Post(Path("/input", server.Token()), {{"Origin", Origin()}}, body, "application/json");
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
  // and only for this server's own names and, for input, its own page
  const std::string at = ":" + std::to_string(server.Port()), input = Path("/input", server.Token());
  const struct {
    httplib::Headers headers;
    bool post;
    int status;
  } requests[] = {
      {{{"Host", "localhost" + at}}, false, 200},
      {{{"Host", "attacker.example" + at}}, false, 403},  // a name rebound to 127.0.0.1
      {{{"Host", "127.0.0.1"}}, false, 403},
      {{}, true, 403},  // input without an origin
      {{{"Origin", "http://attacker.example"}}, true, 403},
      {{{"Origin", "http://localhost" + at}}, true, 202},
  };
  for (const auto& r : requests) {
    auto result = r.post ? client->Post(input, r.headers, R"({"action":"click","id":1})", "application/json")
                         : client->Get(Path("/", server.Token()), r.headers);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, r.status) << (r.headers.empty() ? "" : r.headers.begin()->second);
  }
  auto refused = client->Post("/input", {{"Origin", Origin()}}, R"({"action":"click","id":1})", "application/json");
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
  // no referrer carries the token away; only the page's own script runs
  EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
  const std::string policy = page->get_header_value("Content-Security-Policy");
  const size_t nonce = policy.find("'nonce-");
  ASSERT_NE(nonce, std::string::npos) << policy;
  EXPECT_NE(page->body.find("<script nonce=\"" + policy.substr(nonce + 7, 32) + "\">"), std::string::npos);
  EXPECT_NE(policy.find("default-src 'none'"), std::string::npos) << policy;
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

// Connections that send their request a byte at a time and never finish it (slowloris) wait at
// the gate; a request that arrives whole is answered at once. scripts/slowloris.py tries 300.
TEST_F(UiServerTest, ConnectionsTricklingTheirRequestsDoNotStopItAnswering) {
  std::vector<int> trickling;
  for (int i = 0; i < 100; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    send(fd, "GET / HTTP/1.1\r\nX-", 20, MSG_NOSIGNAL);
    trickling.push_back(fd);
  }
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    while (!done) {
      for (int fd : trickling) send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      std::this_thread::sleep_for(200ms);
    }
  });

  const auto start = std::chrono::steady_clock::now();
  client->set_read_timeout(10s);
  auto page = client->Get(Path("/", server.Token()));
  const auto took = std::chrono::steady_clock::now() - start;

  done = true;
  trickle.join();
  for (int fd : trickling) close(fd);
  ASSERT_TRUE(page) << httplib::to_string(page.error());
  EXPECT_EQ(page->status, 200);
  EXPECT_LT(took, 2s);
}

}  // namespace
