#include "DataReport/EventDataReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "support/test_env.h"

namespace {

class EventDataReportTest : public ::testing::Test {
 protected:
  EventDataReportTest() {
    report.ClearSentEvents();
    platform::SetClockForTesting([] { return int64_t{1700000000}; });
  }
  ~EventDataReportTest() override {
    platform::SetClockForTesting(nullptr);
    report.ClearSentEvents();
  }

  std::vector<std::string> FileLines() const {
    std::vector<std::string> lines;
    std::ifstream in(dataDir.path() / "telemetry.jsonl");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  bool Send(const std::string& id, const std::string& value) {
    tagLogInfo info = report.GetMsg(id, value);
    return report.SendMsg(info);
  }

  testenv::ScopedDataDir dataDir;
  EventDataReport& report = EventDataReport::Instance();
};

TEST_F(EventDataReportTest, EachEventIsOneJsonLineInTheFileAndInMemory) {
  ASSERT_TRUE(Send("620000020", "0,0,0,0,0,0"));
  ASSERT_TRUE(Send("620000001", "line\nbreak"));

  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], R"({"time":1700000000,"id":"620000020","value":"0,0,0,0,0,0"})");
  EXPECT_EQ(lines[1], R"({"time":1700000000,"id":"620000001","value":"line\nbreak"})");
  const auto sent = report.SentEvents();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], (std::pair<std::string, std::string>{"620000001", "line\nbreak"}));
}

TEST_F(EventDataReportTest, ConcurrentSendersLoseNothing) {
  constexpr int kThreads = 6;
  constexpr int kEvents = 150;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([this, t] {
      for (int i = 0; i < kEvents; ++i) Send("62000002" + std::to_string(t), std::to_string(i));
    });
  }
  for (auto& sender : senders) sender.join();

  using Events = std::set<std::pair<std::string, std::string>>;
  Events fromFile;
  for (const auto& line : FileLines()) {
    const auto event = nlohmann::json::parse(line);  // a torn line would throw here
    fromFile.emplace(event["id"], event["value"]);
  }
  const auto inMemory = report.SentEvents();
  EXPECT_EQ(fromFile.size(), static_cast<size_t>(kThreads * kEvents));
  EXPECT_EQ(Events(inMemory.begin(), inMemory.end()), fromFile);
  EXPECT_EQ(inMemory.size(), fromFile.size());
}

// A long session: the file moves aside at 1 MiB, so at most two of them are kept, each of whole
// lines, and the memory keeps the newest 10,000 events.
TEST_F(EventDataReportTest, TheFileAndTheEventsKeptInMemoryStayBounded) {
  const std::string value(100, 'v');
  for (int i = 0; i < 15000; ++i) ASSERT_TRUE(Send("620000020", value + std::to_string(i)));

  for (const char* name : {"telemetry.jsonl", "telemetry.jsonl.1"}) {
    const auto file = dataDir.path() / name;
    ASSERT_TRUE(std::filesystem::exists(file)) << name;
    EXPECT_LE(std::filesystem::file_size(file), 1u << 20) << name;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) ASSERT_NO_THROW(nlohmann::json::parse(line)) << name;
  }
  EXPECT_EQ(nlohmann::json::parse(FileLines().back())["value"], value + "14999");
  const auto sent = report.SentEvents();
  ASSERT_EQ(sent.size(), 10000u);
  EXPECT_EQ(sent.front().second, value + "5000");
  EXPECT_EQ(sent.back().second, value + "14999");
}

}  // namespace
