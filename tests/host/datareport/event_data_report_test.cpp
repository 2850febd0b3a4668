#include "DataReport/EventDataReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/scoped_env.h"
#include "platform/clock.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

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

TEST_F(EventDataReportTest, GetMsgStampsTheEventWithTheClock) {
  const tagLogInfo info = report.GetMsg("620000020", "0,0,0,0,0,0");
  EXPECT_EQ(info.id, "620000020");
  EXPECT_EQ(info.value, "0,0,0,0,0,0");
  EXPECT_EQ(info.time, 1700000000);
}

TEST_F(EventDataReportTest, EachEventIsOneJsonLineWithTimeIdAndValue) {
  ASSERT_TRUE(Send("620000020", "0,0,0,0,0,0"));
  ASSERT_TRUE(Send("620000001", ""));

  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], R"({"time":1700000000,"id":"620000020","value":"0,0,0,0,0,0"})");
  EXPECT_EQ(lines[1], R"({"time":1700000000,"id":"620000001","value":""})");
}

TEST_F(EventDataReportTest, SentEventsAreKeptInMemoryInOrder) {
  Send("620000023", "0,0,1");
  Send("620000030", "1");

  const auto sent = report.SentEvents();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (std::pair<std::string, std::string>{"620000023", "0,0,1"}));
  EXPECT_EQ(sent[1], (std::pair<std::string, std::string>{"620000030", "1"}));

  report.ClearSentEvents();
  EXPECT_TRUE(report.SentEvents().empty());
  EXPECT_EQ(FileLines().size(), 2u);  // clearing the memory leaves the file alone
}

TEST_F(EventDataReportTest, ValuesWithQuotesLineBreaksAndChineseStayOneLine) {
  const std::string value = "{\"cpu\":\"2400\"}\n\xE5\xA4\x84\xE7\x90\x86\xE5\x99\xA8";
  ASSERT_TRUE(Send("624000009", value));

  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(lines[0])["value"], value);
}

TEST_F(EventDataReportTest, InvalidUtf8IsReplacedRatherThanLost) {
  ASSERT_TRUE(Send("620000003", "a\xFF"));
  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(lines[0])["value"], "a\xEF\xBF\xBD");
  EXPECT_EQ(report.SentEvents().at(0).second, "a\xFF");
}

TEST_F(EventDataReportTest, UnwritableDataDirectoryFailsTheSendButKeepsTheEvent) {
  std::ofstream(dataDir.path() / "blocker") << "a file, not a directory";
  testenv::ScopedEnv data("SYSDIAGNOSE_DATA_DIR", (dataDir.path() / "blocker" / "data").string());

  EXPECT_FALSE(Send("620000005", ""));
  ASSERT_EQ(report.SentEvents().size(), 1u);
  EXPECT_EQ(report.SentEvents()[0].first, "620000005");
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

  std::set<std::pair<std::string, std::string>> fromFile;
  for (const auto& line : FileLines()) {
    const auto event = nlohmann::json::parse(line);  // a torn line would throw here
    fromFile.emplace(event["id"], event["value"]);
  }
  const auto inMemory = report.SentEvents();
  EXPECT_EQ(inMemory.size(), static_cast<size_t>(kThreads * kEvents));
  EXPECT_EQ(fromFile.size(), static_cast<size_t>(kThreads * kEvents));
  const std::set<std::pair<std::string, std::string>> memorySet(inMemory.begin(), inMemory.end());
  EXPECT_EQ(memorySet, fromFile);

  // Each sender's events keep its order.
  std::vector<int> next(kThreads, 0);
  for (const auto& [id, value] : inMemory) {
    const int t = id.back() - '0';
    EXPECT_EQ(std::stoi(value), next[t]++);
  }
}

}  // namespace
