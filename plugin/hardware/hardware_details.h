#pragma once
// The texts the user sees about the hardware: one model name per category, the memory and disk
// summaries, and per category the information rows of the scan page. Nothing here touches a
// control; rows are handed to a callable on the calling thread.
#include <cstdint>
#include <functional>
#include <string>

#include "model/records.h"

namespace zel::sysdiagnose {

// Receives one row of a category. The record is only valid during the call: copy what you keep.
// The result is not used by the collectors.
using HardwareRowCallback = std::function<bool(enmHardwareID, tagHardwareDetailInfo&)>;

// The category's model name; the blank-name text when the device reports none. Never empty.
std::u16string QueryModelName(int32_t category);

// Total installed memory in whole gigabytes, rounded to the nearest.
uint64_t QueryTotalMemoryGB();

// The capacities of all disks that report one, joined by "+" ("512 GB+1.0 TB"); may be empty.
std::u16string QueryDiskCapacitySummary();

// Passes the category's information rows to `onRow` in display order, with separators between
// devices and a placeholder when nothing is known. Returns whether information was found.
bool CollectHardwareDetails(int32_t category, const HardwareRowCallback& onRow);

}  // namespace zel::sysdiagnose
