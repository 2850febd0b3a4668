#pragma once
// ConnectionGate: where an HTTP server's connections wait until each has sent its whole request
// (the head, and the body its Content-Length announces); only then is a connection handed on. A
// request that is not whole by the deadline, that grows past the size limit or that sends its body
// in chunks is answered with an error and closed, and a client (an address) with too many
// connections waiting loses its oldest. So connections that trickle their requests (slowloris)
// hold no worker, and a request that arrives whole is answered however many of them wait.
//
// One thread of its own polls the waiting connections; Admit may be called from any thread.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/services/wake_pipe.h"

namespace app {

class ConnectionGate {
 public:
  struct Limits {
    std::chrono::milliseconds deadline;  // from the connection to its whole request
    size_t maxRequestBytes;              // head and body
    size_t perClient;                    // connections of one address waiting at once
    size_t total;                        // connections waiting at once
  };
  // Takes a connection over with what was read of it: the whole request, perhaps more. Runs on
  // the gate's thread.
  using Ready = std::function<void(int socket, std::string received)>;

  ConnectionGate(Limits limits, Ready ready);
  // Closes whatever still waits.
  ~ConnectionGate();
  ConnectionGate(const ConnectionGate&) = delete;
  ConnectionGate& operator=(const ConnectionGate&) = delete;

  // The gate owns `socket` from here on; after Stop it is closed at once.
  void Admit(int socket);
  // Closes the waiting connections and ends the gate's thread; nothing is handed on after it.
  void Stop();

  // How much of `received` a whole request takes, 0 while it is not whole yet; the reason in
  // `refusal` (an HTTP status line) for one that will not be taken.
  static size_t RequestLength(const std::string& received, size_t maxRequestBytes, std::string& refusal);

 private:
  struct Waiting {
    int socket;
    std::string client;
    std::chrono::steady_clock::time_point since;
    std::string received;
  };

  void Run();
  void TakeIncoming(std::vector<Waiting>& waiting);
  // False once the connection is done with (handed on or closed).
  bool ReadMore(Waiting& connection);

  const Limits limits_;
  const Ready ready_;
  WakePipe wake_;  // interrupts the poll
  std::mutex lock_;
  std::vector<int> incoming_;  // under lock_
  bool stopping_ = false;      // under lock_
  std::thread thread_;
};

}  // namespace app
