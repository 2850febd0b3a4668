// `sysdiagnose-host` run as the built program: what every command does alike (a quiet stderr unless
// --verbose, a data directory checked before anything runs, private data files, --json documents),
// the doctor's and diagnosis's results, and `machine` and `scan` on sample, recorded and running machines.
#include <gmock/gmock.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/views/text_width.h"
#include "host/scoped_env.h"
#include "platform/encoding.h"
#include "support/host_program.h"
#include "support/recorded_tree.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using json = nlohmann::json;

std::string Machine(const char* name) { return testenv::ResourcePath(std::string("machines/") + name); }

// Each category's state in a health-check report: 2 normal, 3 abnormal.
std::map<std::string, int> StatesIn(const json& report) {
  std::map<std::string, int> states;
  for (const json& item : report["vecItems"]) states[item["strName"]] = item["nState"];
  return states;
}

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// The text with the spaces that line up its columns taken for one: "  Failed   Wireless switch"
// is "  Failed Wireless switch".
std::string OneSpace(const std::string& text) {
  std::string out;
  bool indent = true;  // still at the start of a line
  for (char c : text) {
    if (c != ' ') indent = c == '\n';
    if (c == ' ' && !indent && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

// The value of the first report line whose label is `label`.
std::string ValueOf(const std::string& report, std::string_view label) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, label.size(), label) != 0) continue;
    const size_t value = line.find_first_not_of(' ', start + label.size());
    if (value != std::string::npos && value > start + label.size()) return line.substr(value);
  }
  return "<no line " + std::string(label) + ">";
}

// What `lsblk` says the disks are: name and size in bytes, zram (compressed memory) left out.
std::vector<std::pair<std::string, uint64_t>> LsblkDisks() {
  std::vector<std::pair<std::string, uint64_t>> disks;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen("lsblk -d -n -b -o NAME,SIZE,TYPE 2>/dev/null", "r"), pclose);
  for (char line[256], name[128], type[32]; pipe && fgets(line, sizeof line, pipe.get());) {
    unsigned long long size = 0;
    if (std::sscanf(line, "%127s %llu %31s", name, &size, type) == 3 && std::string(type) == "disk" && size != 0 &&
        std::string(name).rfind("zram", 0) != 0) {
      disks.emplace_back(name, size);
    }
  }
  return disks;
}

// What a command run with --json prints: one document on stdout, nothing else there.
json JsonOf(const std::vector<std::string>& args) {
  const auto run = testenv::RunHostProgram(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return json::parse(run.out);  // throws, failing the test, unless stdout is one JSON document
}

// The one element of `list` whose `key` is `value`.
const json& Find(const json& list, const char* key, const json& value) {
  for (const json& element : list) {
    if (element.at(key) == value) return element;
  }
  static const json none;
  ADD_FAILURE() << "no element with " << key << " = " << value.dump();
  return none;
}

TEST(CommandLine, CommandsPrintTheirResultWithWarningsOnStderrOnlyWhenVerbose) {
  testenv::ScopedDataDir data;
  // The desktop has no Bluetooth: the catalogue warns that it leaves the category out.
  const std::string warning = "is not support BT, ignore bt item", desktop = Machine("desktop.json");
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> shows;
  } cases[] = {
      // doctor: progress, then the table and its summary
      {{"doctor", "--machine", desktop},
       {"  In progress Memory\n", "  Abnormal Battery: No battery detected", "NVIDIA GeForce RTX 3060 ",
        "1 category needs attention.\n"}},
      {{"scan", "--machine", desktop}, {"Processor: AMD Ryzen 7 5700G with Radeon Graphics\n"}},
      {{"diagnose", "cpu", "--machine", desktop}, {"  => Processor: Normal\n"}},
      // the names the pages show, in any case and either language
      {{"diagnose", "GRAPHICS", "显示器", "--machine", desktop}, {"  => Graphics: ", "  => Display: "}},
      // a recorded Linux machine named as the machine
      {{"scan", "--machine", testenv::RecordedMachinePath("desktop")},
       {"Processor: AMD Ryzen 5 5600G with Radeon Graphics", "Model: ST2000DM008-2FR1", "Capacity: 2.0 TB",
        "Model: Samsung SSD 870", "Model: DELL U2720Q", "Resolution: 3840*2160"}},
  };
  for (const auto& c : cases) {
    const auto quiet = testenv::RunHostProgram(c.args);
    EXPECT_EQ(quiet.status, 0) << c.args[0];
    EXPECT_EQ(quiet.err, "") << c.args[0];
    for (const std::string& text : c.shows) EXPECT_THAT(OneSpace(quiet.out), HasSubstr(text));
    EXPECT_THAT(quiet.out, Not(HasSubstr("Repairing"))) << "no repair unless asked";
  }
  std::ifstream log(data.path() / "sysdiagnose.log");
  EXPECT_THAT(std::string(std::istreambuf_iterator<char>(log), {}), HasSubstr(warning));

  for (const char* verbose : {"--verbose", "-v"}) {  // a quick command that meets the warning too
    const auto loud = testenv::RunHostProgram({"diagnose", verbose, "cpu", "--machine", desktop});
    EXPECT_EQ(loud.status, 0);
    EXPECT_THAT(loud.err, HasSubstr(warning)) << verbose;
  }
}

TEST(CommandLine, ABadArgumentProfileOrDataDirectoryIsOneLineWithExitTwoBeforeAnythingRuns) {
  testenv::ScopedDataDir data;
  const std::string file = (data.path() / "a-file").string();
  std::ofstream(file) << "not a directory";
  const std::string misspelt = (data.path() / "bad.json").string(), notJson = (data.path() / "not.json").string();
  const std::string brokenLayout = (data.path() / "broken.xml").string();
  std::ofstream(misspelt) << R"({"hardware": {"cpu": {"nmae": "x"}}})";
  std::ofstream(notJson) << "{\n  \"host\": nope\n}\n";
  std::ofstream(brokenLayout) << "<Window><VerticalLayout></Window>";
  // data directories another user could plant links in, and a planted link
  const fs::path others = data.path() / "others", shared = data.path() / "shared", planted = data.path() / "planted";
  fs::create_directories(others);
  ASSERT_EQ(chown(others.c_str(), 65534, 65534), 0);
  fs::create_directories(shared);
  fs::permissions(shared, fs::perms(0777));
  fs::create_directories(planted);
  fs::permissions(planted, fs::perms::owner_all);
  fs::create_symlink(file, planted / "history.db-shm");
  const std::string overflow = (data.path() / "overflow.json").string(), deep = (data.path() / "deep.xml").string();
  std::ofstream(overflow) << R"({"hardware": {"cpu": {"cores": 1e400}}})";
  std::ofstream deepLayout(deep);
  for (int i = 0; i < 20000; ++i) deepLayout << "<VerticalLayout>";
  for (int i = 0; i < 20000; ++i) deepLayout << "</VerticalLayout>";
  deepLayout.close();
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"doctor", "--bogus"}, "unknown argument '--bogus'"},
      {{"doctor", "--machine", misspelt}, misspelt + ": unknown key 'hardware.cpu.nmae'"},
      {{"diagnose", "toaster"}, "unknown category 'toaster'"},
      {{"history", "--days", "0"}, "--days takes a number from 1 to 1000, not '0'"},
      {{"history", "--days", "many"}, "not 'many'"},
      {{"history", "--days", "--data-dir", file}, "--days needs a value"},  // an option is not a value
      {{"doctor", "--machine", "-v"}, "--machine needs a value"},
      {{"history", "extra"}, "unknown argument 'extra'"},
      {{"scan", "--days", "1"}, "unknown argument '--days'"},
      {{"machine", "a.json", "b.json"}, "one machine profile FILE, not several"},
      {{"machine", "--data-dir", "/tmp", "a.json"}, "unknown argument '--data-dir'"},
      {{"machine", notJson}, notJson + ":2:12: malformed JSON"},
      {{"machine", "/nonexistent/machine.json"}, "/nonexistent/machine.json: cannot open"},
      {{"layout", "/nonexistent/layout.xml"}, "cannot read /nonexistent/layout.xml"},
      {{"layout", brokenLayout, "--json"}, "malformed XML"},
      {{"layout", deep}, "nests elements deeper than 128 levels"},
      {{"scan", "--machine", overflow}, overflow + ": malformed JSON: number overflow parsing '1e400'"},
      {{"machine", overflow}, overflow + ": malformed JSON: number overflow"},
      {{"layout"}, "a layout FILE is needed"},
      {{"layout", brokenLayout, "--json", "--html"}, "--html or --json, not both"},
      {{"history", "--data-dir", "/proc/self"},
       "data directory /proc/self: cannot create a file in it (its file system takes no new files)"},
      {{"diagnose", "--data-dir", "/proc/self", "--machine", Machine("faulty-notebook.json")},
       "data directory /proc/self: cannot create a file in it"},
      {{"diagnose", "--data-dir", file + "/data", "--machine", Machine("faulty-notebook.json")},
       "data directory " + file + "/data: cannot be created"},
      {{"doctor", "--data-dir", file}, "data directory " + file + ": is not a directory"},
      {{"doctor", "--textfile", file}, "--textfile needs a file name ending in .prom, not '" + file + "'"},
      {{"doctor", "--textfile", file + "/health.prom"}, file + " is not a directory"},
      {{"scan", "--data-dir", file + "/data"}, "data directory " + file + "/data: cannot be created"},
      {{"history", "--data-dir", others.string()},
       "data directory " + others.string() + ": belongs to another user (uid 65534)"},
      {{"doctor", "--data-dir", shared.string()},
       "data directory " + shared.string() + ": can be written by other users (mode 0777)"},
      {{"history", "--data-dir", planted.string()}, "history.db-shm in it is not a regular file"},
  };
  for (const auto& c : cases) {
    const auto run = testenv::RunHostProgram(c.args);
    EXPECT_EQ(run.status, 2) << c.says;
    EXPECT_EQ(run.out, "") << c.says;
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("sysdiagnose-host " + c.args[0] + ": ", 0), 0u) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.says));
  }
  {
    testenv::ScopedEnv machine("SYSDIAGNOSE_MACHINE", misspelt);  // the profile named the other way
    const auto run = testenv::RunHostProgram({"scan"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
  }
  const auto help = testenv::RunHostProgram({"machine", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: sysdiagnose-host machine [--verbose] [--json] [FILE|DIR]\n", 0), 0u) << help.out;
  const std::string categories = testenv::RunHostProgram({"diagnose", "--help"}).out;
  EXPECT_THAT(categories, HasSubstr("one of audio mainboard bluetooth network cpu (processor) memory disk\n"));
  EXPECT_THAT(categories, HasSubstr(" 5  Memory, 内存\n             6  Storage, 硬盘\n"));
}

TEST(CommandLine, DiagnoseShowsTheDetectPageInItsOrderWithItsFilesPrivateWhateverTheUmask) {
  testenv::ScopedDataDir scratch;
  const fs::path data = scratch.path() / "fresh";
  const mode_t previous = umask(022);
  const auto run = [&](std::vector<std::string> categories) {
    std::vector<std::string> args = {"diagnose", "--repair", "--data-dir", data.string(), "--machine",
                                     Machine("faulty-notebook.json")};
    args.insert(args.end(), categories.begin(), categories.end());
    return testenv::RunHostProgram(args);
  };
  const auto first = run({"memory", "audio", "network", "bluetooth"});
  ASSERT_EQ(first.status, 0) << first.err;
  // the page's texts, in the order the page shows them
  const std::vector<std::string> inOrder = {
      "Diagnosing your hardware\u2026\n",
      "  Failed Pseudo-random data test\n",
      "  => Memory: Abnormal\n",
      "  => Audio: Normal\n",
      "  Failed Wireless switch: The wireless network adapter is not working properly.\n",
      // without the link to the logs' upload, which only the window can follow
      "Diagnosis complete\n3 categories need attention.\n",
      "Repairing\u2026\n",
      "  Passed Wireless switch\n",
      "  => Network Adapter: Normal\n",
      "Some problems could not be repaired\n1 category still has problems.\n",
  };
  size_t at = 0;
  const std::string out = OneSpace(first.out);
  for (const std::string& text : inOrder) {
    const size_t found = out.find(text, at);
    ASSERT_NE(found, std::string::npos) << "no '" << text << "' after offset " << at << " of:\n" << out;
    at = found + text.size();
  }

  // Files another program left readable, kept aside as unreadable on the next run (one quick repair
  // opens both).
  for (const char* name : {"history.db", "registry.json"}) {
    fs::remove(data / name);
    std::ofstream(data / name) << "not what it should be";
    fs::permissions(data / name, fs::perms(0644));
  }
  ASSERT_EQ(run({"network"}).status, 0);
  umask(previous);

  EXPECT_EQ(fs::status(data).permissions() & fs::perms::all, fs::perms(0700));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(data)) {
    names.push_back(entry.path().filename().string());
    EXPECT_EQ(entry.status().permissions() & fs::perms::all, fs::perms(0600)) << names.back();
  }
  for (const char* expected : {"history.db", "registry.json", "telemetry.jsonl", "sysdiagnose.log", "history.db.notadb-",
                               "registry.json.corrupt-"}) {
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n.starts_with(expected); }))
        << expected;
  }
}

// A small file system of its own, filled up (root only; skipped with the reason otherwise).
class FullDisk {
 public:
  explicit FullDisk(const fs::path& where) : path_(where) {
    fs::create_directories(path_);
    if (geteuid() != 0) {
      why_ = "mounting a file system needs root";
    } else if (mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
      why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    }
  }
  ~FullDisk() {
    if (why_.empty()) umount2(path_.c_str(), MNT_DETACH);
  }
  const std::string& Unavailable() const { return why_; }
  // Takes every free page, so that any write that needs one more fails with ENOSPC.
  void Fill() {
    std::ofstream filler(path_ / "filler", std::ios::binary);
    filler << std::string(1 << 20, '\0');
  }

 private:
  fs::path path_;
  std::string why_;
};

TEST(CommandLine, ARunThatCannotBeStoredOnAFullDiskEndsWithOneLineAndLeavesNoTornTelemetryLine) {
  testenv::ScopedDataDir scratch;
  FullDisk disk(scratch.path() / "full");
  if (!disk.Unavailable().empty()) GTEST_SKIP() << disk.Unavailable();
  // Whole lines up to 10 bytes before the end of the telemetry file's first page: the next
  // line finds room for 10 bytes only.
  const std::string line = R"({"time":1,"id":"620000000","value":"filler of the page"})" "\n", last = R"({"id":"1"})" "\n";
  std::string lines;
  while (lines.size() + line.size() + last.size() <= 4086) lines += line;
  lines += std::string(4086 - lines.size() - last.size(), ' ') + last;
  std::ofstream(scratch.path() / "full" / "telemetry.jsonl", std::ios::binary) << lines;
  disk.Fill();

  const auto run = testenv::RunHostProgram(
      {"diagnose", "cpu", "--data-dir", (scratch.path() / "full").string(), "--machine", Machine("faulty-notebook.json")});

  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(Lines(run.err), 1u) << run.err;
  EXPECT_THAT(run.err, MatchesRegex("sysdiagnose-host diagnose: could not store the run: .*full\n"));
  std::ifstream telemetry(scratch.path() / "full" / "telemetry.jsonl", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(telemetry), {}), lines);
}

// A damaged history is kept aside and the history starts again; one that cannot be read (a
// table of another program) is said so, not shown as empty.
TEST(CommandLine, AHistoryThatCannotBeReadIsKeptAsideWhenDamagedOrReportedWhenForeign) {
  testenv::ScopedDataDir data;
  const fs::path file = data.path() / "history.db";
  const auto write = [&file](const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  };
  const std::vector<std::string> diagnose = {"diagnose", "cpu", "--machine", Machine("faulty-notebook.json")};
  ASSERT_EQ(testenv::RunHostProgram(diagnose).status, 0);
  ASSERT_FALSE(fs::exists(data.path() / "history.db-wal"));  // all of it in the file, its table on page 2
  std::fstream(file, std::ios::binary | std::ios::in | std::ios::out).seekp(4096) << std::string(4096, '\xFF');

  const auto again = testenv::RunHostProgram(diagnose);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(JsonOf({"history", "--json"})["runs"].size(), 1u);
  EXPECT_TRUE(std::any_of(fs::directory_iterator(data.path()), fs::directory_iterator(), [](const fs::directory_entry& e) {
    return e.path().filename().string().starts_with("history.db.corrupt-");
  }));

  fs::remove(file);
  write("CREATE TABLE TABLE_HARDWARE_DIAGNOSE(x TEXT);");
  const auto history = testenv::RunHostProgram({"history"});
  EXPECT_EQ(history.status, 1);
  EXPECT_EQ(history.out, "");
  EXPECT_EQ(Lines(history.err), 1u) << history.err;
  EXPECT_THAT(history.err,
              MatchesRegex("sysdiagnose-host history: could not read the history: .*no such column: SecondTime\n"));
}

// A check that throws ends its run, for the detect page and the health check alike.
TEST(CommandLine, ACheckThatThrowsEndsTheRunAtOnceWithOneLine) {
  testenv::ScopedDataDir data;
  const std::string throwing = (data.path() / "throwing.json").string();
  std::ofstream(throwing) << R"({"checks": {"memory": {"random": {"throws": "the memory tester crashed"}}}})";
  const struct {
    std::vector<std::string> args;
    std::string says;
  } ended[] = {
      {{"diagnose", "memory", "--machine", throwing}, "the run ended before its result"},
      {{"doctor", "--machine", throwing}, "the plug-in's health check ended without a report for Memory"},
  };
  for (const auto& c : ended) {
    const auto start = std::chrono::steady_clock::now();
    const auto run = testenv::RunHostProgram(c.args);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << c.args[0];
    EXPECT_EQ(run.status, 1) << c.args[0];
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.says));
  }
}

// A check that takes ten minutes is no reason to wait: SIGTERM, or Ctrl-C pressed twice, ends the
// command by that signal.
TEST(CommandLine, SigtermOrASecondCtrlCEndsACommandByThatSignal) {
  testenv::ScopedDataDir data;
  const std::string slow = (data.path() / "slow.json").string();
  std::ofstream(slow) << R"({"checks": {"memory": {"stuckAddr": {"delayMs": 600000}}}})";
  for (const std::vector<int>& signals : {std::vector<int>{SIGTERM}, std::vector<int>{SIGINT, SIGINT}}) {
    testenv::HostProcess host({"diagnose", "memory", "--machine", slow});
    for (int i = 0; i < 500 && host.Out().find("Memory\n") == std::string::npos; ++i) {
      host.Wait(std::chrono::milliseconds(20));
    }
    ASSERT_THAT(host.Out(), HasSubstr("Memory\n")) << "the memory check never began";
    for (int signal : signals) {
      host.Signal(signal);
      host.Wait(std::chrono::milliseconds(300));
    }
    const std::optional<int> status = host.Wait(std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value()) << "still running after signal " << signals.back();
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signals.back()) << *status;
  }
}

TEST(DoctorCommand, ReportsEveryCategoryThenRepairsWhatTheNotebookCanAndConfirmsIt) {
  testenv::ScopedDataDir data;
  const json reports = JsonOf({"doctor", "--repair", "--json", "--machine", Machine("faulty-notebook.json")})["reports"];

  // the detection: one report before and one after each of the twelve categories, the last finished
  ASSERT_GT(reports.size(), 48u);
  for (size_t i = 0; i < 24; ++i) {
    EXPECT_EQ(reports[i]["bFinished"], i == 23 ? 1 : 0) << i;
    EXPECT_EQ(reports[i]["nModuleId"], 0x390000);
    EXPECT_EQ(reports[i]["nTime"], 1860000);
  }
  std::map<std::string, int> states = {{"Processor", 2}, {"Mainboard", 2}, {"Memory", 3}, {"Storage", 2},
                                       {"Graphics", 2}, {"Display", 2}, {"Audio", 2}, {"Battery", 3}, {"Keyboard", 3},
                                       {"Network Adapter", 3}, {"Bluetooth", 3}, {"Fingerprint Reader", 2}};
  EXPECT_EQ(StatesIn(reports[23]), states);
  EXPECT_THAT(Find(reports[23]["vecItems"], "strName", "Graphics")["strHardware"].get<std::string>(),
              HasSubstr("Intel(R) UHD Graphics 620"));
  EXPECT_EQ(reports[23]["strSummaryKey"], "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM");

  // the confirming detection: Wi-Fi's and the keyboard's repairs fix them, Bluetooth's fails, memory has none
  states["Network Adapter"] = states["Keyboard"] = 2;
  EXPECT_EQ(reports.back()["bFinished"], 1);
  EXPECT_EQ(StatesIn(reports.back()), states);

  std::ifstream registry(data.path() / "registry.json");
  EXPECT_EQ(json::parse(registry)["HKEY_CURRENT_USER"]["\\SOFTWARE\\Nexwarden\\HardareDetectRepair"]["Numbers"], 2);
  const auto history = testenv::RunHostProgram({"history", "--machine", Machine("faulty-notebook.json")});
  EXPECT_EQ(history.status, 0) << history.err;
  EXPECT_THAT(history.out, HasSubstr("Abnormal"));
}

// As a monitoring plug-in: only the status line on stdout and the exit status of the worst finding,
// UNKNOWN (3) when it cannot run; the textfile appears whole and readable by node_exporter.
TEST(DoctorCommand, AsAMonitoringPluginPrintsOneStatusLineWithItsExitStatusBesideAWholeTextfile) {
  testenv::ScopedDataDir data;
  const std::string noticed = (data.path() / "noticed.json").string();
  std::ofstream(noticed) << R"({"checks": {"keyboard": {"filterKey": {"code": -6, "passed": false, "level": 1}}}})";
  const fs::path textfiles = data.path() / "node-exporter";
  fs::create_directory(textfiles);
  const std::string textfile = (textfiles / "sysdiagnose.prom").string();
  const std::string perf = " \\| abnormal=([0-9]+);;0 notice=([0-9]+);0 normal=([0-9]+) duration=[0-9]+\\.[0-9]s\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string line;  // regular expression
  } cases[] = {
      {{"--machine", Machine("healthy-notebook.json")}, 0, "SYSDIAGNOSE OK - 12 normal" + perf},
      {{"--machine", noticed}, 1, "SYSDIAGNOSE WARNING - 1 notice: Keyboard" + perf},
      {{"--machine", Machine("faulty-notebook.json"), "--textfile", textfile}, 2,
       "SYSDIAGNOSE CRITICAL - 5 abnormal: Memory, Storage, Network Adapter, Battery, Bluetooth; "
       "1 notice: Keyboard" + perf},
      {{"--json"}, 3, "SYSDIAGNOSE UNKNOWN - --check or --json, not both .*\n"},
      {{"--bogus"}, 3, "SYSDIAGNOSE UNKNOWN - unknown argument '--bogus' .*\n"},
      {{"--machine", "/nonexistent/machine.json"}, 3,
       "SYSDIAGNOSE UNKNOWN - /nonexistent/machine.json: cannot open.*\n"},
      {{"--textfile", "/proc/self/health.prom"}, 3,
       "SYSDIAGNOSE UNKNOWN - --textfile: cannot create a file in /proc/self.*\n"},
  };
  const mode_t previous = umask(077);
  for (const auto& c : cases) {
    std::vector<std::string> args = {"doctor", "--check"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = testenv::RunHostProgram(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_THAT(run.out, MatchesRegex(c.line));
    EXPECT_EQ(Lines(run.err), c.status == 3 ? 1u : 0u) << run.err;
  }
  umask(previous);

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(textfiles)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"sysdiagnose.prom"}) << "no temporary file left beside it";
  EXPECT_EQ(fs::status(textfile).permissions() & fs::perms::all, fs::perms(0644));
  std::ifstream in(textfile);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_THAT(text, HasSubstr(R"(sysdiagnose_category_verdict{category="memory",model="HMA851S6CJR6N-VK",)"
                              R"(verdict="abnormal"} 1)"));
  EXPECT_THAT(text, HasSubstr(R"(sysdiagnose_disk_smart_attribute_failing{disk="1",model="ST1000LM035-1RK172",)"
                              R"(attribute="197"} 1)"));
}

// ---- the terminal ----------------------------------------------------------------------------

// The sample notebook with faults as a user of `language` has it.
std::string FaultyNotebookIn(const fs::path& dir, const std::string& language) {
  std::ifstream in(Machine("faulty-notebook.json"));
  json profile = json::parse(in);
  profile["host"]["userLanguage"] = language;
  const fs::path file = dir / ("faulty-" + language + ".json");
  std::ofstream(file) << profile.dump();
  return file.string();
}

std::string TableText(const std::string& language, const char* key) {
  std::ifstream in(testenv::ResourcePath("lang/" + language + ".json"));
  return json::parse(in).at(key);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of a line from display column `from` up to `to`, without the blanks around it.
std::string Between(const std::string& line, size_t from, size_t to) {
  std::string text;
  size_t column = 0;
  for (size_t at = 0, next; at < line.size(); at = next) {
    for (next = at + 1; next < line.size() && (line[next] & 0xC0) == 0x80;) ++next;
    const std::string character = line.substr(at, next - at);
    if (column >= from && column < to) text += character;
    column += app::DisplayWidth(character);
  }
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

TEST(DoctorCommand, TheTableFitsTheTerminalInTheUsersLanguageWithEachResultWhole) {
  testenv::ScopedDataDir data;
  const struct {
    std::string language;
    std::optional<std::string> columns;
    std::string between;  // what joins the lines of a wrapped result
    std::vector<std::string> summary;
  } cases[] = {
      {"en-US", "64", " ", {"4 categories need attention.", "1 category has a notice."}},
      {"zh-CN", "64", "", {"发现 4 项硬件异常。", "1 项硬件有提示。"}},
      {"zh-CN", std::nullopt, "", {"发现 4 项硬件异常。", "1 项硬件有提示。"}},  // a pipe: as wide as it needs
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language + " in " + c.columns.value_or("any width"));
    testenv::ScopedEnv columns("COLUMNS", c.columns);
    const auto run = testenv::RunHostProgram({"doctor", "--machine", FaultyNotebookIn(data.path(), c.language)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(run.out)), run.out) << "whole UTF-8";
    EXPECT_EQ(run.out.find('\033'), std::string::npos) << "no colour into a pipe";
    EXPECT_EQ(run.out.find('~'), std::string::npos) << "nothing cut";
    const auto lines = LinesOf(run.out);
    for (const std::string& line : lines) {
      if (c.columns) {
        EXPECT_LE(app::DisplayWidth(line), std::stoul(*c.columns)) << line;
      }
    }

    const auto text = [&](const char* key) { return TableText(c.language, key); };
    const auto header = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with(text("IDS_HARDWARE_DETECT_DOCTOR_COLUMN_CATEGORY")) &&
             line.find(text("IDS_HARDWARE_DETECT_DOCTOR_COLUMN_RESULT")) != std::string::npos;
    });
    ASSERT_NE(header, lines.end()) << run.out;
    const auto columnOf = [&](const char* key) { return app::DisplayWidth(header->substr(0, header->find(text(key)))); };
    const size_t state = columnOf("IDS_HARDWARE_DETECT_DOCTOR_COLUMN_STATE");
    const size_t result = columnOf("IDS_HARDWARE_DETECT_DOCTOR_COLUMN_RESULT");
    const size_t action = columnOf("IDS_HARDWARE_DETECT_DOCTOR_COLUMN_ACTION");
    // A row: its first line names the category, the lines after it carry on its wrapped cells.
    const auto row = [&](const char* nameKey) {
      auto first = std::find_if(header, lines.end(), [&](const std::string& l) { return l.starts_with(text(nameKey)); });
      std::vector<std::string> rowLines;
      for (auto it = first; it != lines.end() && (it == first || it->starts_with(" ")); ++it) rowLines.push_back(*it);
      return rowLines;
    };
    const auto network = row("IDS_HARDWARE_DETECT_NETCARD");
    ASSERT_FALSE(network.empty());
    std::string finding;
    for (const std::string& line : network) {
      const std::string piece = Between(line, result, action);
      if (!piece.empty()) finding += (finding.empty() ? "" : c.between) + piece;
    }
    EXPECT_EQ(finding, text("IDS_HARDWARE_DIAGNOSE_WIFI_WARN"));
    EXPECT_EQ(Between(network[0], state, result), text("IDS_HARDWARW_DETECT_ABNORM_STATE"));
    EXPECT_EQ(Between(network[0], action, 999), text("IDS_HARDWARE_DETECT_ITEM_REPAIR_COMMAND"));
    EXPECT_EQ(Between(row("IDS_HARDWARE_DETECT_KEYBOARD").at(0), state, result), text("IDS_HARDWARE_DETECT_NOTICE_STATE"));
    for (const std::string& said : c.summary) EXPECT_NE(std::find(lines.begin(), lines.end(), said), lines.end()) << said;
    if (c.language == "zh-CN") {
      for (const char* english : {"Category", "State", "Normal", "Abnormal", "Notice", "In progress", "Problems found"}) {
        EXPECT_THAT(run.out, Not(HasSubstr(english)));
      }
    }
  }
}

// The doctor's verdicts are the detect page's: the same categories need attention (a notice is
// not one of them, nor the disks the plug-in judges normal whatever their SMART lines say).
TEST(DoctorCommand, JsonVerdictsAreTheDetectPagesWithNoticesApart) {
  testenv::ScopedDataDir data;
  const json doctor = JsonOf({"doctor", "--json", "--machine", Machine("faulty-notebook.json")})["verdicts"];
  const json detect = JsonOf({"diagnose", "--json", "--machine", Machine("faulty-notebook.json")})["detect"];

  std::map<std::string, std::string> byDoctor, byPage;
  for (const json& category : doctor["categories"]) byDoctor[category["name"]] = category["verdict"];
  for (const json& category : detect["categories"]) byPage[category["name"]] = category["verdict"];
  EXPECT_EQ(byDoctor, byPage);
  EXPECT_EQ(byDoctor["Keyboard"], "notice");
  EXPECT_EQ(std::tie(doctor["abnormal"], doctor["notice"], doctor["normal"]), std::make_tuple(4, 1, 7));
  EXPECT_THAT(detect["subtitle"].get<std::string>(), ::testing::StartsWith("4 categories need attention."));
}

// On a terminal: the verdicts in colour unless NO_COLOR says otherwise, the table as wide as the
// terminal is.
TEST(DoctorCommand, OnATerminalTheVerdictsArePaintedUnlessNoColorSaysNot) {
  testenv::ScopedDataDir data;
  const struct {
    std::optional<std::string> noColor;
    bool colour;
  } cases[] = {{std::nullopt, true}, {"1", false}};
  for (const auto& c : cases) {
    testenv::ScopedEnv columns("COLUMNS", std::nullopt), noColor("NO_COLOR", c.noColor), term("TERM", "xterm");
    const auto run = testenv::RunHostProgramOnTerminal({"doctor", "--machine", Machine("faulty-notebook.json")}, 70);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("\033[1;31m") != std::string::npos, c.colour) << run.out;
    std::string plain = run.out;
    for (size_t at; (at = plain.find('\033')) != std::string::npos;) plain.erase(at, plain.find('m', at) - at + 1);
    std::erase(plain, '\r');
    for (const std::string& line : LinesOf(plain)) EXPECT_LE(app::DisplayWidth(line), 70u) << line;
    EXPECT_THAT(plain, HasSubstr("4 categories need attention."));
  }
}

// ---- scan, diagnose and history as --json documents ------------------------------------------

TEST(CommandLine, ScanJsonIsWhatTheScanPageShows) {
  testenv::ScopedDataDir data;
  const json scan = JsonOf({"scan", "--json", "--machine", Machine("faulty-notebook.json")});

  EXPECT_EQ(scan["title"], "Scan complete. Choose the hardware to diagnose.");
  EXPECT_EQ(scan["subtitle"], "12 categories selected");
  ASSERT_EQ(scan["categories"].size(), 12u);
  const json& memory = Find(scan["categories"], "name", "Memory");
  EXPECT_EQ(memory["summary"], "12GB");
  EXPECT_EQ(memory["ticked"], true);
  ASSERT_EQ(memory["devices"].size(), 2u);
  EXPECT_EQ(Find(memory["devices"][0], "label", "Model")["value"], "HMA851S6CJR6N-VK");
  EXPECT_EQ(Find(memory["devices"][1], "label", "Capacity")["value"], "8GB");
  const json& disks = Find(scan["categories"], "name", "Storage");
  EXPECT_EQ(Find(disks["devices"][1], "label", "Capacity")["value"], "1.0 TB");
  EXPECT_EQ(disks["summary"], "256 GB+1.0 TB");
}

TEST(CommandLine, DiagnoseJsonIsTheDetectPageAsTheHistoryJsonThenShowsIt) {
  testenv::ScopedDataDir data;
  const json before = JsonOf({"history", "--json"});
  EXPECT_EQ(before["runs"], json::array());
  EXPECT_EQ(before["subtitle"], "No diagnosis yet. Run one to see how your hardware is doing.");

  const json run = JsonOf({"diagnose", "--json", "--repair", "--machine", Machine("faulty-notebook.json"), "memory",
                           "network"});

  EXPECT_EQ(run["ending"], "finished");
  const json& detect = run["detect"];
  EXPECT_EQ(detect["title"], "Diagnosis complete");
  EXPECT_EQ(detect["subtitle"], "2 categories need attention. Send the diagnosis logs");
  ASSERT_EQ(detect["categories"].size(), 2u);
  const json& memory = Find(detect["categories"], "name", "Memory");
  EXPECT_EQ(memory["checks"].size(), 9u);
  EXPECT_EQ(memory["verdict"], "abnormal");
  const json& wifiSwitch = Find(Find(detect["categories"], "name", "Network Adapter")["checks"], "name", "Wireless switch");
  EXPECT_EQ(wifiSwitch["look"], "failed");
  EXPECT_EQ(wifiSwitch["detail"], "The wireless network adapter is not working properly.");

  const json& repair = run["repair"];
  EXPECT_EQ(repair["title"], "Repair complete");
  EXPECT_EQ(repair["subtitle"], "1 category needs attention.");
  const json& network = Find(repair["categories"], "name", "Network Adapter");
  EXPECT_EQ(network["verdict"], "normal");
  EXPECT_EQ(Find(network["checks"], "name", "Wireless switch")["look"], "passed");

  const json history = JsonOf({"history", "--json", "--days", "1"});
  EXPECT_EQ(history["subtitle"], "The last diagnosis found a problem in 1 category.");
  ASSERT_EQ(history["runs"].size(), 1u);
  const json& latest = history["runs"][0];  // the repair's run
  EXPECT_EQ(latest["date"], "Today");
  EXPECT_EQ(Find(latest["categories"], "name", "Network Adapter")["state"], "normal");
  EXPECT_EQ(Find(latest["categories"], "name", "Memory")["state"], "abnormal");
  EXPECT_EQ(Find(latest["categories"], "name", "Processor")["state"], "not diagnosed");
  EXPECT_EQ(latest["normal"], 1);
  EXPECT_EQ(latest["abnormal"], 1);
}

// ---- machine and scan -----------------------------------------------------------------------

TEST(MachineCommand, DescribesEachMachineWithItsFaultsRepairsAndMissingDevices) {
  const std::string recorded = testenv::RecordedMachinePath("notebook");
  const struct {
    std::string file, firstLine;
    std::vector<std::pair<const char*, const char*>> values;  // label, regular expression of its value
  } cases[] = {
      {Machine("healthy-notebook.json"), Machine("healthy-notebook.json") + ": a valid machine profile", {}},
      {Machine("faulty-notebook.json"), Machine("faulty-notebook.json") + ": a valid machine profile",
       {{"wifi.switch", "FAILS, code 4294967293 \\(-3\\).*"}, {"wifi.signal", "passes.*"},
        {"RepairWifiProblem", ".*then passes: wifi.switch"}, {"RepairBTProblems", "FAILS.*"},
        {"disks[1]", "NOT HEALTHY.*"}, {"Bluetooth", ".*present"}}},
      {Machine("desktop.json"), Machine("desktop.json") + ": a valid machine profile",
       {{"Bluetooth", "absent"}, {"Fingerprint sensor", "absent"}, {"Battery", "absent"},
        {"bluetooth.supported", "no"}, {"battery.device", "FAILS.*"}}},
      {recorded, "the Linux machine recorded under " + recorded,
       {{"Processor", ".*i7-1165G7.*"}, {"Display", "B140HAN04.2, 1920\\*1080, 60 Hz"}, {"wireless", ".*driver iwlwifi.*"},
        {"wifi.switch", ".*rfkill.*"}, {"RepairBTProblems", "switches Bluetooth back on.*"},
        {"RepairAudioProblem", "loads the driver a sound controller lacks .*, then switches the playback card.s muted controls on.*"}}},
  };
  for (const auto& c : cases) {
    const auto run = testenv::RunHostProgram({"machine", c.file});
    EXPECT_EQ(run.status, 0) << c.file << "\n" << run.err;
    EXPECT_EQ(run.err, "") << c.file;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.firstLine);
    for (const char* section : {"Host", "Hardware", "Checks", "Repairs", "wifi.switch", "RepairBTProblems"}) {
      EXPECT_THAT(run.out, HasSubstr(section)) << c.file;
    }
    for (const auto& [label, value] : c.values) EXPECT_THAT(ValueOf(run.out, label), MatchesRegex(value)) << c.file;
  }
}

// The JSON is the profile in the profile's own keys with every default filled in: read back, it
// describes the same notebook.
TEST(MachineCommand, JsonIsTheWholeProfileThatReadsBackAsTheSameMachine) {
  const std::string faulty = Machine("faulty-notebook.json");
  const json doc = JsonOf({"machine", "--json", faulty});

  EXPECT_EQ(doc["file"], faulty);
  const json& profile = doc["profile"];
  EXPECT_EQ(profile["checks"]["wifi"]["switch"]["code"], 4294967293u);
  EXPECT_EQ(profile["checks"]["wifi"]["switch"]["passed"], false);
  EXPECT_EQ(profile["checks"]["wifi"]["signal"]["passed"], true);  // not in the file: a passing check
  EXPECT_EQ(profile["checks"]["bluetooth"]["supported"], true);
  EXPECT_EQ(profile["checks"]["disks"][1]["smart"][3], 2);
  EXPECT_EQ(profile["hardware"]["disks"][1]["caption"], "ST1000LM035-1RK172");
  EXPECT_EQ(profile["repairs"]["RepairBTProblems"]["succeeded"], false);
  EXPECT_EQ(profile["repairs"]["RepairHotkey"]["succeeded"], true);
  EXPECT_EQ(profile["logService"]["items"][1]["module"], 7);

  const std::string copy = testing::TempDir() + "round-trip.json";
  std::ofstream(copy) << profile.dump();
  EXPECT_EQ(JsonOf({"machine", "--json", copy})["profile"], profile);
}

TEST(MachineAndScan, WithoutAProfileShowTheProcessorAndDisksOfThisMachine) {
  testenv::ScopedDataDir dataDir;
  testenv::ScopedEnv noProfile("SYSDIAGNOSE_MACHINE", std::nullopt);
  const std::string model = testenv::RunningProcessorModel();  // empty when /proc/cpuinfo names none

  const auto scan = testenv::RunHostProgram({"scan"});
  ASSERT_EQ(scan.status, 0) << scan.err;
  EXPECT_THAT(scan.out, HasSubstr("Processor: " + model));
  for (const auto& [name, bytes] : LsblkDisks()) {
    const uint64_t gb = bytes / 1000000000;
    const std::string capacity = gb < 1000 ? std::to_string(gb) + " GB" : std::to_string(gb / 100 / 10) + ".";
    EXPECT_THAT(scan.out, HasSubstr("Capacity: " + capacity)) << name;
  }
  EXPECT_THAT(scan.err, Not(HasSubstr("errno")));
  // the scan's closing telemetry event, sent after the page was told the scan is over, is not lost
  std::ifstream telemetry(dataDir.path() / "telemetry.jsonl");
  EXPECT_THAT(std::string(std::istreambuf_iterator<char>(telemetry), {}), HasSubstr(R"("id":"620000010")"));

  const auto machine = testenv::RunHostProgram({"machine"});
  ASSERT_EQ(machine.status, 0) << machine.err;
  EXPECT_EQ(machine.out.substr(0, machine.out.find('\n')), "this Linux machine");
  EXPECT_THAT(ValueOf(machine.out, "Processor"), HasSubstr(model));
  EXPECT_THAT(machine.out, HasSubstr("Not readable here"));

  const json doc = JsonOf({"machine", "--json"});
  EXPECT_EQ(doc["machine"], "this Linux machine");
  EXPECT_EQ(doc["diskHealth"].size(), doc["hardware"]["disks"].size());
  EXPECT_THAT(doc["hardware"]["cpu"]["name"].get<std::string>(), HasSubstr(model));
}

}  // namespace
