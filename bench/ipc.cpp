// IPC costs: a health-check result through the payload codec, and the message bus's latency and
// throughput between two modules of this process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "ipc/doctor_result.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

using namespace zel::sysdiagnose;
using Clock = std::chrono::steady_clock;

namespace {

tagDoctorResult TwelveCategories() {
  tagDoctorResult result;
  result.nModuleId = kSysdiagnoseModule;
  result.strSummaryKey = u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM";
  result.nAbnormalCount = 3;
  result.strSummary = u"3 hardware problems were found. Repair them to keep the PC healthy.";
  result.strDetail = u"Checks the processor, memory, disks, graphics, audio, network and more.";
  for (int i = 0; i < 12; ++i) {
    tagDoctorItem item;
    item.strIcon = u"file='drawable/hardware/hardware_small.png' source='0,0,42,42' dest='3,3,17,17'";
    item.clrStatus = i % 4 == 0 ? kDoctorColorAbnormal : kDoctorColorNormal;
    item.strName = u"Network card";
    item.strHardware = u"{f 16}{c #7F7F7F}Intel(R) Wi-Fi 6 AX201 160MHz{/f}{/c}";
    item.strResult = i % 4 == 0 ? u"The wireless switch is turned off." : u"";
    item.nState = i % 4 == 0 ? kDoctorStateAbnormal : kDoctorStateNormal;
    item.strAction = i % 4 == 0 ? u"Repair" : u"";
    item.clrActionAlt = i % 4 == 0 ? kDoctorColorAbnormal : 0;
    result.vecItems.push_back(item);
  }
  result.nTime = 1860000;
  return result;
}

void BM_DoctorResultEncodeDecode(benchmark::State& state) {
  const tagDoctorResult result = TwelveCategories();
  size_t bytes = 0;
  for (auto _ : state) {
    tagIPC_MESSAGE_ITEM buffer{};
    CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
    WriteVersion(writer);
    Serialize(writer, result);

    tagIPC_MESSAGE_ITEM received{};
    received.nDataLen = writer.Position();
    received.pData = buffer.pData;
    CIPCDataIO reader(&received, CIPCDataIO::kReader);
    ReadVersion(reader);
    tagDoctorResult decoded;
    Unserialize(reader, decoded);
    benchmark::DoNotOptimize(decoded);
    bytes = writer.Position();
  }
  state.counters["payload_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DoctorResultEncodeDecode)->Repetitions(9)->ReportAggregatesOnly(true);

constexpr uint32_t kReceiver = 0x7A0000;
constexpr uint32_t kSender = 0x7B0000;

void BM_PostToCallbackLatency(benchmark::State& state) {
  std::atomic<int64_t> arrivedAt{0};
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 1, [&](const tagIPC_MESSAGE_ITEM&) {
    arrivedAt.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
  });
  CIPCMessageClient sender(kSender, false, false);
  uint8_t payload[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kReceiver, kReceiver | 1, kNoReply);
  message.nDataLen = sizeof payload;
  message.pData = payload;
  std::vector<double> latencies;

  for (auto _ : state) {
    arrivedAt.store(0, std::memory_order_relaxed);
    const auto postedAt = Clock::now();
    sender.PostIPCMessage(message);
    int64_t arrived = 0;
    while ((arrived = arrivedAt.load(std::memory_order_acquire)) == 0) std::this_thread::yield();
    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::duration(arrived) - postedAt.time_since_epoch()).count());
  }
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty()) {
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
  }
}
BENCHMARK(BM_PostToCallbackLatency)->Iterations(20000)->UseRealTime();

void BM_SmallMessageThroughput(benchmark::State& state) {
  constexpr int kBatch = 20000;
  std::atomic<int> received{0};
  CIPCMessageClient receiver(kReceiver, false, false);
  receiver.RegisterMessageCallback(kReceiver | 2, [&](const tagIPC_MESSAGE_ITEM&) {
    received.fetch_add(1, std::memory_order_relaxed);
  });
  CIPCMessageClient sender(kSender, false, false);
  uint8_t payload[4] = {1, 0, 0, 0};
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kReceiver, kReceiver | 2, kNoReply);
  message.nDataLen = sizeof payload;
  message.pData = payload;

  for (auto _ : state) {
    received = 0;
    for (int i = 0; i < kBatch; ++i) sender.PostIPCMessage(message);
    while (received.load(std::memory_order_relaxed) < kBatch) std::this_thread::yield();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_SmallMessageThroughput)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
