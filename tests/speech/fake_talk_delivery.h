// A stand-in speech server behind the worker's delivery seam: a test says which
// hosts meet which fault, and reads back what arrived, without sockets, and
// waits for the worker with latches instead of guessing from elapsed time.
//
// Owned by the test and shared with the instance under test. The worker thread
// calls Deliver; every other member is for the test's thread. Thread-safe.
#ifndef TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_
#define TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "speech/talk_delivery.h"

namespace speech {

class FakeTalkDelivery final : public TalkDelivery {
 public:
  enum class Fault {
    kNone,          // the whole packet arrives
    kRefused,       // nothing listens: fails at once
    kResets,        // accepts, then resets: fails at once, nothing arrives
    kOutOfMemory,   // building the packet throws std::bad_alloc
    // The rest hang until the interrupt fires (nothing more arrives) or Release.
    kLookupHangs,   // in the name lookup
    kNeverAccepts,  // in connect
    kNeverReads,    // in send, before any byte arrives
    kStopsMidSend,  // in send, after half the packet has arrived
  };
  static bool Hangs(Fault fault) { return fault >= Fault::kLookupHangs; }

  // One finished delivery.
  struct Delivery {
    std::string host;
    std::uint16_t port;
    std::string bytes;  // what the server received
    bool interrupted;   // a hang ended by the interrupt
  };

  // Entries for `host` meet `fault` from now on; other hosts are healthy.
  void SetFault(const std::string& host, Fault fault);
  // The fault is over everywhere: a hanging delivery goes through whole.
  void Release();

  // Waits until a delivery hangs. False after a safety limit of some seconds.
  bool WaitUntilHung();
  // Waits until `count` deliveries have finished (at most a safety limit of some
  // seconds); returns every one finished so far, in order.
  std::vector<Delivery> WaitForDeliveries(std::size_t count);
  std::vector<Delivery> Deliveries();

  void Deliver(const TalkEntry& entry, std::vector<char>& buffer,
               const platform::DeliveryInterrupt& interrupt) override;

 private:
  // Hangs until the interrupt or Release; true when the interrupt ended it.
  bool Hang(std::unique_lock<std::mutex>& lock, const platform::DeliveryInterrupt& interrupt);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Fault> faults_;
  std::vector<Delivery> finished_;
  bool hung_ = false;
  int releases_ = 0;
};

}  // namespace speech

#endif  // TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_
