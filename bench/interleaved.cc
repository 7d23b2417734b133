// Benchmark 6: a script that keeps queueing while the worker delivers. Both sides
// are measured at once: the host's AddQueue latency, and the worker's rate against
// a plain open/send/close loop on one thread.
#include <chrono>
#include <thread>

#include "harness.h"
#include "scenarios.h"
#include "support/talk_listener.h"

namespace bench {

using test_support::TalkListener;

namespace {

// The queue is emptied, untimed, when an answer reports this many waiting entries,
// so that it never reaches its bound however far the host runs ahead.
constexpr long kEmptyQueueAt = 60000;
// The delivered count is read this often: reading it takes the stand-in server's
// lock, which its own thread needs for every connection.
constexpr std::size_t kCountEvery = 16;
constexpr unsigned kDeliveryWaitMs = 10000;

// Returns once every connection that `sink` has seen end carried a whole packet and
// nothing more has come for a moment; throws when that does not happen in time.
void RequireWholePackets(TalkListener& sink) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
  while (sink.ReceivedBytes() != sink.WaitForEnded(0, 0) * ShortTextPacketBytes()) {
    Require(Clock::now() < limit, "the worker's packets did not arrive whole");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// One burst: the rate at which the worker delivered while the host queued; the
// AddQueue timings are appended to `samples`.
double InterleavedBurst(std::size_t packets, std::vector<double>& samples) {
  TalkListener sink{TalkListener::Mode::kCount};
  TalkListener marker{TalkListener::Mode::kCount};
  ModuleSession module;
  module.Expect(SetQueueMaxRequest(kLargestQueue), 200);
  const std::string request = ShortAddQueueRequest(sink.port());
  const std::string clear = ClearQueueRequest();

  std::string answer;
  std::size_t delivered = 0;
  const Clock::time_point start = Clock::now();
  for (std::size_t call = 1; delivered < packets; ++call) {
    samples.push_back(module.TimedRequest(request, &answer));
    Require(StatusOf(answer) == 200, "AddQueue was not accepted");
    if (ResultOf(answer) >= kEmptyQueueAt) module.Expect(clear, 200);
    if (call % kCountEvery == 0) delivered = sink.WaitForEnded(0, 0);
  }
  const double rate = PacketsPerSecond(delivered, start);

  // The worker delivers one entry at a time: once it has delivered the marker's,
  // the last of the burst has been sent and closed.
  module.Expect(clear, 200);
  module.Expect(ShortAddQueueRequest(marker.port()), 200);
  Require(marker.WaitForEnded(1, kDeliveryWaitMs) == 1, "the worker did not go on");
  RequireWholePackets(sink);
  return rate;
}

}  // namespace

Interleaved MeasureInterleaved(std::size_t packets, int bursts) {
  Interleaved interleaved;
  std::vector<double> worker;
  std::vector<double> plain;
  for (int i = 0; i < bursts; ++i) {
    worker.push_back(InterleavedBurst(packets, interleaved.addQueueNs));
    plain.push_back(PlainLoopThroughput(packets));
  }
  interleaved.workerPacketsPerSecond = MedianOf(worker);
  interleaved.plainPacketsPerSecond = MedianOf(plain);
  return interleaved;
}

}  // namespace bench
