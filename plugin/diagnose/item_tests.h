#pragma once
// Item tests: each runs one check of the fault-detection library and turns its outcome into one
// localized result line. They run on the diagnosis thread and touch nothing shared except the
// detector set they are given and the library's Wi-Fi singleton.
//
// The caller prepares the line (FreshLine) before a test. Every test writes name, passed and text;
// code-kind tests also write code and return the library's code, record-kind tests write code and
// level and return nothing, fixed-kind tests write neither and return 0.
#include <cstdint>

#include "diagnose/fault_detectors.h"
#include "model/records.h"

namespace zel::sysdiagnose {

// Every item test, in the order of the table that defines them.
enum class ItemTest : int32_t {
  CpuSse, CpuSse2, CpuSse3, CpuSsse3, CpuSse41, CpuSse42,
  Mainboard,
  MemStuckAddr, MemLineSeq, MemBlockSeq, MemBit0Walk, MemRandom, MemBoard, MemArith, MemLogic, MemBitFlip,
  GpuDevice, GpuStatus,
  AudioDevice, AudioLoopBack,
  WifiDevice, WifiAdapter, WifiSwitch, WifiSignal,
  BatteryDevice, BatteryVoltage, BatteryLoss,
  KeyboardFilterKey, KeyboardHotKey,
  BluetoothDevice, BluetoothState,
  FingerprintDevice, FingerprintFunction,
  Display,
};

// Runs one item test by its id; returns the library's code as the line records it (0 for the
// fixed kind), whatever the kind.
uint32_t RunItemTest(ItemTest test, FaultDetectors& detectors, tagHardwareDetectInfo& line);

// A line as callers prepare it: empty texts, passed, code 0, valid, level 0.
tagHardwareDetectInfo FreshLine();
// A verdict as routines start it: passed, no extra, empty text, level 1.
tagDetectResult FreshVerdict();
// Folds one finished line into a verdict: a failing line clears passed, lowers the level to its
// own (signed comparison) and leaves its text, so the verdict carries the last failure's text.
void FoldLine(tagDetectResult& verdict, const tagHardwareDetectInfo& line);

// Processor: the line always passes with empty text; only the returned code tells the outcome.
uint32_t TestCpuSse(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestCpuSse2(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestCpuSse3(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestCpuSsse3(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestCpuSse41(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestCpuSse42(FaultDetectors& detectors, tagHardwareDetectInfo& line);

// No library call: a passing line.
uint32_t TestMainboard(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestDisplay(FaultDetectors& detectors, tagHardwareDetectInfo& line);

uint32_t TestMemStuckAddr(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemLineSeq(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemBlockSeq(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemBit0Walk(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemRandom(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemBoard(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemArith(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemLogic(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestMemBitFlip(FaultDetectors& detectors, tagHardwareDetectInfo& line);

void TestGpuDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestGpuStatus(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestAudioDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestAudioLoopBack(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestWifiDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestWifiAdapter(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestWifiSwitch(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestWifiSignal(FaultDetectors& detectors, tagHardwareDetectInfo& line);

// Battery: the text comes from a fixed code, so it is present on a passing line too.
uint32_t TestBatteryDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
uint32_t TestBatteryVoltage(FaultDetectors& detectors, tagHardwareDetectInfo& line);
// The loss test reuses the voltage line: it overwrites only passed and code.
uint32_t TestBatteryLoss(FaultDetectors& detectors, tagHardwareDetectInfo& line);

void TestKeyboardFilterKey(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestKeyboardHotKey(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestBluetoothDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestBluetoothState(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestFingerprintDevice(FaultDetectors& detectors, tagHardwareDetectInfo& line);
void TestFingerprintFunction(FaultDetectors& detectors, tagHardwareDetectInfo& line);

}  // namespace zel::sysdiagnose
