#pragma once
// A test's own D-Bus: a private dbus-daemon with its own configuration, and python3-dbusmock
// services on it. Both are stopped with their objects (and by the kernel, should the test die).
#include <sys/types.h>

#include <string>
#include <vector>

namespace testenv {

class PrivateBus {
 public:
  // A system-type bus listening on `socketPath` (a short path: unix sockets take 107 bytes at
  // most), or on a socket of its own when that is empty. `policy` are rules added after the
  // allow-all default policy, e.g. <deny send_member="Set" .../>.
  explicit PrivateBus(std::string socketPath = {}, std::string policy = {});
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  bool ok() const { return !address_.empty(); }
  const std::string& address() const { return address_; }  // "unix:path=..."; empty when it did not start
  const std::string& error() const { return error_; }

 private:
  std::string directory_;
  std::string address_;
  std::string error_;
  pid_t pid_ = -1;
};

// `/usr/bin/python3 -m dbusmock --system ARGUMENTS...` on the bus, ready once it owns `name`.
class MockService {
 public:
  MockService(const PrivateBus& bus, std::string name, const std::vector<std::string>& arguments);
  ~MockService();
  MockService(const MockService&) = delete;
  MockService& operator=(const MockService&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  bool ok_ = false;
  std::string error_;
};

}  // namespace testenv
