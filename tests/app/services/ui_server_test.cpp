// UiServer: the window served on loopback behind a token: the page with the window, then only its
// changes as events, its images by URL, input from the page, and streams that hold no worker.
#include "app/services/ui_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string_view>
#include <thread>

#include "DuiLib/UILabel.h"
#include "DuiLib/UIList.h"
#include "platform/paths.h"
#include "support/ui_window.h"

namespace {

using namespace std::chrono_literals;

constexpr std::u16string_view kWindow = uR"(<Window size="300,200"><VerticalLayout name="root">
  <Label name="lblState" text="idle" height="30"/>
  <Button name="btnGo" text="Go" height="30"/>
  <List name="lstRows" height="60"><Label name="row0" height="40"/><Label name="row1" height="40"/></List>
  <Control name="ctlIcon" width="2" height="2" bkimage="file='served.png'"/>
</VerticalLayout></Window>)";

// A 2×2 PNG (its signature and header are all the window reads of it).
void WriteImage(const std::filesystem::path& path) {
  static const unsigned char k2x2[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                                       'D', 'R', 0, 0, 0, 2, 0, 0, 0, 2, 8, 6, 0, 0, 0};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(k2x2), sizeof(k2x2));
}

// A connection of our own to the server, for what a client library hides (streams left open).
int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

// What arrives on `fd` until `enough` says so or `limit` passes.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& enough, std::chrono::milliseconds limit) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!enough(got) && std::chrono::steady_clock::now() < end) {
    pollfd polled{fd, POLLIN, 0};
    if (poll(&polled, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

class UiServerTest : public ::testing::Test {
 protected:
  UiServerTest() {
    std::string error;
    EXPECT_TRUE(server.Start(0, error)) << error;
    client = std::make_unique<httplib::Client>("127.0.0.1", server.Port());
  }
  ~UiServerTest() override { std::filesystem::remove(image); }

  std::string Path(const std::string& path, const std::string& token) { return path + "?token=" + token; }

  // The data of the events of a fresh stream from `from`, until `count` arrived.
  std::vector<nlohmann::json> Events(uint64_t from, size_t count = 1) {
    std::string buffer;
    std::vector<nlohmann::json> events;
    client->Get(Path("/events", server.Token()) + "&from=" + std::to_string(from), [&](const char* data, size_t length) {
      buffer.append(data, length);
      for (size_t end; (end = buffer.find("\n\n")) != std::string::npos; buffer.erase(0, end + 2)) {
        std::istringstream lines(buffer.substr(0, end));
        for (std::string line; std::getline(lines, line);) {
          if (line.rfind("data: ", 0) == 0) events.push_back(nlohmann::json::parse(line.substr(6)));
        }
      }
      return events.size() < count;
    });
    return events;
  }

  std::string Origin() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }

  int Post(const std::string& body) {
    auto result = client->Post(Path("/input", server.Token()), {{"Origin", Origin()}}, body, "application/json");
    return result ? result->status : -1;
  }

  // An event stream of our own from version 0, read up to the whole window it begins with.
  int OpenStream() {
    const int fd = Connect(server.Port());
    const std::string request = "GET /events?token=" + server.Token() + "&from=0 HTTP/1.1\r\nHost: 127.0.0.1:" +
                                std::to_string(server.Port()) + "\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const std::string got = ReadUntil(fd, [](const std::string& s) { return s.find("\"whole\"") != std::string::npos; }, 5s);
    EXPECT_EQ(got.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << got;
    EXPECT_NE(got.find("Content-Type: text/event-stream"), std::string::npos) << got;
    EXPECT_NE(got.find("\"whole\""), std::string::npos);
    return fd;
  }

  std::filesystem::path image = [] {
    const auto path = std::filesystem::path(platform::AppDirectory()) / "served.png";
    WriteImage(path);
    return path;
  }();
  testenv::UiWindow w{std::u16string(kWindow)};
  app::UiServer server{w.manager, "Test <window>", {u"btnMissing", u"btnGo"}};
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

TEST_F(UiServerTest, ThePageHoldsTheWindowAndAStreamThenSendsOnlyWhatChanged) {
  // given the page: the window as it is, its version, the window's title, its own script only
  auto page = client->Get(Path("/", server.Token()));
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<title>Test &lt;window&gt;</title>"), std::string::npos);
  EXPECT_NE(page->body.find("const token = '" + server.Token() + "'"), std::string::npos);
  EXPECT_NE(page->body.find("data-name=\"btnGo\""), std::string::npos);
  std::smatch version;
  ASSERT_TRUE(std::regex_search(page->body, version, std::regex("let version = ([0-9]+);")));
  EXPECT_EQ(page->get_header_value("Referrer-Policy"), "no-referrer");
  const std::string policy = page->get_header_value("Content-Security-Policy");
  const size_t nonce = policy.find("'nonce-");
  ASSERT_NE(nonce, std::string::npos) << policy;
  EXPECT_NE(page->body.find("<script nonce=\"" + policy.substr(nonce + 7, 32) + "\">"), std::string::npos);
  EXPECT_NE(policy.find("default-src 'none'"), std::string::npos) << policy;
  EXPECT_NE(policy.find("img-src 'self'"), std::string::npos) << policy;

  // a new page (from 0) gets the whole window
  const auto whole = Events(0);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_NE(whole[0]["whole"].get<std::string>().find(">idle<"), std::string::npos);

  // when the window changes and is published, the page's stream gets that label alone
  w.Find<DuiLib::CLabelUI>(u"lblState")->SetText(u"busy");
  server.Publish();
  const auto changed = Events(std::stoull(version[1]));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0]["from"], std::stoull(version[1]));
  const auto& ops = changed[0]["ops"];
  ASSERT_EQ(ops.size(), 1u) << ops.dump();
  EXPECT_EQ(ops[0][0], "s");
  EXPECT_EQ(ops[0][1], std::to_string(w.Find(u"lblState")->GetId()));
  EXPECT_NE(ops[0][2].get<std::string>().find(">busy<"), std::string::npos);
  EXPECT_LT(changed[0].dump().size(), 1024u);
}

TEST_F(UiServerTest, ImagesAreServedByTheHashOfTheirBytesOnceAndKeptByTheBrowser) {
  auto page = client->Get(Path("/", server.Token()));
  ASSERT_TRUE(page);
  std::smatch url;
  ASSERT_TRUE(std::regex_search(page->body, url, std::regex("url\\((/image/([0-9a-f]{16})\\.png)\\?token=([0-9a-f]+)\\)")))
      << "the icon is named by URL, not inlined";
  EXPECT_EQ(page->body.find("data:image/png"), std::string::npos);
  EXPECT_EQ(url[3], server.Token());

  auto served = client->Get(Path(url[1], server.Token()));
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 200);
  EXPECT_EQ(served->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(served->body.size(), std::filesystem::file_size(image));
  EXPECT_NE(served->get_header_value("Cache-Control").find("max-age=31536000"), std::string::npos);
  EXPECT_EQ(served->get_header_value("ETag"), "\"" + std::string(url[2]) + "\"");
  auto again = client->Get(Path(url[1], server.Token()), {{"If-None-Match", "\"" + std::string(url[2]) + "\""}});
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 304);
  EXPECT_EQ(again->body, "");
  EXPECT_EQ(client->Get(Path("/image/0123456789abcdef.png", server.Token()))->status, 404);
  EXPECT_EQ(client->Get(url[1])->status, 403) << "behind the token like the rest";

  // the file is read once: gone from the disk, the window still names it and it is still served
  std::filesystem::remove(image);
  w.Find(u"ctlIcon")->SetFixedWidth(3);
  server.Publish();
  EXPECT_NE(client->Get(Path("/", server.Token()))->body.find(url[1].str()), std::string::npos);
  EXPECT_EQ(client->Get(Path(url[1], server.Token()))->status, 200);
}

TEST_F(UiServerTest, InputFromThePageIsActedOutOnTheUiThreadAndMalformedInputIsRefused) {
  const auto id = [this](std::u16string_view name) { return std::to_string(w.Find(name)->GetId()); };
  // given input the server refuses, and a click on no control, which does nothing
  for (const std::string body : {"", "[]", "{\"id\":1}", R"({"action":"explode","id":1})",
                                 R"({"action":"click","id":"one"})", "{\"action\":"}) {
    EXPECT_EQ(Post(body), 400) << body;
  }
  EXPECT_EQ(Post(R"({"action":"click","id":999999999})"), 202);

  // when the page sends a click, a mouse entry, Esc (no dialog: the first cancel button shown)
  // and the focus on a row half out of its list's view
  EXPECT_EQ(Post(R"({"action":"click","id":)" + id(u"btnGo") + "}"), 202);
  EXPECT_EQ(Post(R"({"action":"enter","id":)" + id(u"btnGo") + "}"), 202);
  EXPECT_EQ(Post(R"({"action":"escape"})"), 202);
  EXPECT_EQ(Post(R"({"action":"reveal","id":)" + id(u"row1") + "}"), 202);
  EXPECT_TRUE(w.recorder.seen.empty()) << "nothing happens before the UI loop runs";

  // then the UI loop runs them as the driver's input, in order, and nothing else
  auto* list = w.Find<DuiLib::CListUI>(u"lstRows");
  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return list->GetScrollPos().cy > 0; }, 5s));
  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"click:btnGo", "mouseenter:btnGo", "click:btnGo"}));
  EXPECT_EQ(list->GetScrollPos().cy, 20) << "the row's bottom comes into view";
  // and a scroll by the wheel at a point over the list
  EXPECT_EQ(Post(R"({"action":"scroll","x":10,"y":70,"dy":-30})"), 202);
  UIMessageLoop::Instance().RunUntil([&] { return list->GetScrollPos().cy == 0; }, 5s);
  EXPECT_EQ(list->GetScrollPos().cy, 0);
}

// Every open stream is written by one thread: fifty of them hold no worker, and the page and
// input are answered at once beside them. A stream with nothing to say hears a heartbeat, and
// one whose page went is dropped.
TEST_F(UiServerTest, OpenStreamsHoldNoWorkerAndGoWithTheirPages) {
  std::vector<int> streams;
  for (int i = 0; i < 50; ++i) streams.push_back(OpenStream());
  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return server.StreamCount() == 50; }, 5s)) << server.StreamCount();

  const auto start = std::chrono::steady_clock::now();
  auto page = client->Get(Path("/", server.Token()));
  EXPECT_EQ(Post(R"({"action":"enter","id":1})"), 202);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);

  // each stream got the whole window first (OpenStream), then hears the heartbeat
  const std::string idle = ReadUntil(streams[0], [](const std::string& s) { return s.find(":\n\n") != std::string::npos; },
                                     app::EventStreams::kHeartbeat * 2);
  EXPECT_NE(idle.find(":\n\n"), std::string::npos) << idle;

  // when pages go, their streams go too, at once
  for (int i = 0; i < 10; ++i) close(streams[i]);
  EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return server.StreamCount() == 40; }, 3s)) << server.StreamCount();
  for (size_t i = 10; i < streams.size(); ++i) close(streams[i]);
  EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return server.StreamCount() == 0; }, 3s)) << server.StreamCount();
}

// Connections that send their request a byte at a time and never finish it (slowloris) wait at
// the gate; a request that arrives whole is answered at once. scripts/slowloris.py tries 300.
TEST_F(UiServerTest, ConnectionsTricklingTheirRequestsDoNotStopItAnswering) {
  std::vector<int> trickling;
  for (int i = 0; i < 100; ++i) {
    const int fd = Connect(server.Port());
    constexpr std::string_view kStart = "GET / HTTP/1.1\r\nX-";
    send(fd, kStart.data(), kStart.size(), MSG_NOSIGNAL);
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
