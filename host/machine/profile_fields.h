#pragma once
// The fields of a machine profile, listed once: the reader and the JSON printer walk the same
// tables (key, member, how to read it, how to print it), so a new field is added in one place.
#include <nlohmann/json.hpp>

#include "machine/machine.h"
#include "machine/profile_reader.h"

namespace host::machine {

namespace profile {

void ReadHost(ObjectReader host, HostFacts& out);
void ReadHardware(ObjectReader hardware, Hardware& out);
// RESULT: an object, or a plain number N short for {"code": N, "passed": N == 0}.
void ReadCheck(const json& value, const std::string& path, Errors& errors, CheckResult& out);
// A disk entry: an object, or a plain number for the code alone.
void ReadDiskCheck(const json& value, const std::string& path, Errors& errors, DiskCheck& out);
void ReadRepair(ObjectReader repair, RepairOutcome& out);
void ReadLogService(ObjectReader service, LogService& out);

}  // namespace profile

// The profile format's keys with every default filled in.
nlohmann::ordered_json HostJson(const HostFacts& host);
nlohmann::ordered_json HardwareJson(const Hardware& hardware);
nlohmann::ordered_json ProfileJson(const Profile& profile);

}  // namespace host::machine
