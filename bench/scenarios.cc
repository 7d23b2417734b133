#include "scenarios.h"

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "harness.h"
#include "platform/network.h"
#include "platform/process.h"
#include "speech/talk_delivery.h"
#include "speech/talk_entry.h"
#include "support/talk_listener.h"

namespace bench {
namespace {

using test_support::TalkListener;

// A short utterance as a script would send it, in the two encodings hosts use most.
const std::string kShortTextUtf8 =
    "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\xE3\x80\x81"
    "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE3\x81\x84\xE3\x81\x84\xE5\xA4\xA9"
    "\xE6\xB0\x97\xE3\x81\xA7\xE3\x81\x99\xE3\x81\xAD\xE3\x80\x82";
const std::string kShortTextShiftJis =
    "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x41\x8D\xA1\x93\xFA\x82\xCD"
    "\x82\xA2\x82\xA2\x93\x56\x8B\x43\x82\xC5\x82\xB7\x82\xCB\x81\x42";
const char kLoopback[] = "127.0.0.1";
// Generous: a loopback delivery takes microseconds.
constexpr unsigned kDeliveryWaitMs = 10000;
constexpr unsigned kDrainWaitMs = 120000;
// Entries queued behind a blocked worker are dropped this often, untimed, so the
// queue never reaches its bound.
constexpr std::size_t kClearEvery = 1000;
// Larger than what loopback socket buffers take in without a reader.
constexpr std::size_t kGateTextBytes = 16 * 1024 * 1024;

// UTF-8 text of exactly `bytes` bytes (a multiple of 4): kana and letters mixed,
// so conversion sees both multi-byte and single-byte characters.
std::string TextOfBytes(std::size_t bytes) {
  std::string text;
  text.reserve(bytes);
  while (text.size() + 4 <= bytes) text += "\xE3\x81\x82" "a";
  return text;
}

std::string AddQueueRequest(const std::string& charset, const std::string& text,
                            std::uint16_t port) {
  return ExecuteRequest(charset, {"AddQueue", text, kLoopback, std::to_string(port)});
}

// Sends the module's worker to a server that never accepts, where it stays in
// connect until the module is unloaded; returns once the worker has taken the entry.
void HoldUpWorker(ModuleSession& module, const TalkListener& blocker) {
  module.Expect(AddQueueRequest("UTF-8", "hold", blocker.port()), 200);
  WaitUntilTaken(module);
}

// A request timed with an idle worker: after each call the sampler waits, untimed,
// until the worker has delivered and closed the connection, so the next call again
// finds the worker asleep.
class IdleAddQueue : public Sampler {
 public:
  IdleAddQueue(const std::string& charset, const std::string& text)
      : request_(AddQueueRequest(charset, text, sink_.port())) {
    module_.Expect(SetQueueMaxRequest(kLargestQueue), 200);
  }

  double Sample() override {
    const double ns = module_.TimedRequest(request_, &answer_);
    Require(StatusOf(answer_) == 200, "AddQueue was not accepted");
    ++sent_;
    Require(sink_.WaitForEnded(sent_, kDeliveryWaitMs) >= sent_,
            "the worker did not deliver");
    return ns;
  }

 private:
  TalkListener sink_{TalkListener::Mode::kCount};
  ModuleSession module_;
  std::string request_;
  std::string answer_;
  std::size_t sent_ = 0;
};

// A request whose answer needs no speech server; checked on every call.
class PlainRequest : public Sampler {
 public:
  PlainRequest(std::string request, int status)
      : request_(std::move(request)), status_(status) {}

  double Sample() override {
    const double ns = module_.TimedRequest(request_, &answer_);
    Require(StatusOf(answer_) == status_, "unexpected answer: " + answer_);
    return ns;
  }

 private:
  ModuleSession module_;
  std::string request_;
  int status_;
  std::string answer_;
};

// AddQueue refused: the queue holds its maximum of one entry behind a held-up worker.
class RefusedAddQueue : public Sampler {
 public:
  RefusedAddQueue() : blocker_(TalkListener::Mode::kNeverAccept) {
    module_.Expect(SetQueueMaxRequest(1), 200);
    HoldUpWorker(module_, blocker_);
    request_ = AddQueueRequest("UTF-8", kShortTextUtf8, blocker_.port());
    module_.Expect(request_, 200);
  }

  double Sample() override {
    const double ns = module_.TimedRequest(request_, &answer_);
    Require(StatusOf(answer_) == 500, "AddQueue was not refused");
    return ns;
  }

 private:
  TalkListener blocker_;
  ModuleSession module_;
  std::string request_;
  std::string answer_;
};

// AddQueue while the worker is held up in a delivery that never ends; the queue is
// emptied, untimed, now and then. With `dropEach` it is emptied after every call,
// so that large texts do not pile up.
class BlockedAddQueue : public Sampler {
 public:
  BlockedAddQueue(const std::string& text, bool dropEach)
      : blocker_(TalkListener::Mode::kNeverAccept), dropEach_(dropEach) {
    module_.Expect(SetQueueMaxRequest(kLargestQueue), 200);
    HoldUpWorker(module_, blocker_);
    request_ = AddQueueRequest("UTF-8", text, blocker_.port());
  }

  double Sample() override {
    const double ns = module_.TimedRequest(request_, &answer_);
    Require(StatusOf(answer_) == 200, "AddQueue was not accepted");
    if (dropEach_ || ++calls_ % kClearEvery == 0) module_.Expect(ClearQueueRequest(), 200);
    return ns;
  }

 private:
  TalkListener blocker_;
  ModuleSession module_;
  bool dropEach_;
  std::string request_;
  std::string answer_;
  std::size_t calls_ = 0;
};

// What the host's thread would pay per call if it delivered the packet itself.
class BlockingDelivery : public Sampler {
 public:
  BlockingDelivery() {
    Require(platform::StartNetwork(), "the network did not start");
    entry_.text = kShortTextUtf8;
    entry_.host = kLoopback;
    entry_.port = sink_.port();
  }
  ~BlockingDelivery() override { platform::StopNetwork(); }

  double Sample() override {
    const Clock::time_point start = Clock::now();
    speech::SendTalkPacket(entry_, buffer_, interrupt_);
    const Clock::time_point end = Clock::now();
    ++sent_;
    Require(sink_.WaitForEnded(sent_, kDeliveryWaitMs) >= sent_,
            "the packet did not arrive");
    return NanosecondsBetween(start, end);
  }

 private:
  TalkListener sink_{TalkListener::Mode::kCount};
  speech::TalkEntry entry_;
  std::vector<char> buffer_;
  platform::Interrupt interrupt_;
  std::size_t sent_ = 0;
};

// What a command-line client started per utterance would cost at the least.
class ProcessStart : public Sampler {
 public:
  ProcessStart() { Require(!program_.empty(), "no program path"); }

  double Sample() override {
    const Clock::time_point start = Clock::now();
    Require(platform::RunToEnd(program_, arguments_), "cannot start " + program_);
    return NanosecondsBetween(start, Clock::now());
  }

 private:
#if defined(_WIN32)
  // This very program with --noop, which ends at once: the system has no smaller
  // program that is sure to be there.
  const std::string program_ = platform::ThisProgramPath();
  const std::vector<std::string> arguments_{"--noop"};
#else
  // The smallest program every system has: it starts, does nothing and ends.
  const std::string program_ = "/bin/true";
  const std::vector<std::string> arguments_;
#endif
};

std::string ArgumentsRequest(std::size_t count) {
  std::vector<std::string> arguments{"ClearQueue"};
  for (std::size_t i = 1; i < count; ++i) arguments.push_back("argument " + std::to_string(i));
  return ExecuteRequest("UTF-8", arguments);
}

template <typename T, typename... Args>
std::function<std::unique_ptr<Sampler>()> Make(Args... args) {
  return [=] { return std::unique_ptr<Sampler>(new T(args...)); };
}

}  // namespace

// The talk packet of the short text: the header and the UTF-8 bytes.
std::size_t ShortTextPacketBytes() { return 15 + kShortTextUtf8.size(); }

std::string ShortAddQueueRequest(std::uint16_t port) {
  return AddQueueRequest("UTF-8", kShortTextUtf8, port);
}

std::string ClearQueueRequest() { return ExecuteRequest("UTF-8", {"ClearQueue"}); }

std::string SetQueueMaxRequest(std::size_t maximum) {
  return ExecuteRequest("UTF-8", {"SetQueueMax", std::to_string(maximum)});
}

void WaitUntilTaken(ModuleSession& module) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
  while (module.QueueLength() != 0) {
    Require(Clock::now() < limit, "the worker did not take the entry");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

double PacketsPerSecond(std::size_t packets, Clock::time_point start) {
  const double seconds = NanosecondsBetween(start, Clock::now()) / 1e9;
  return static_cast<double>(packets) / seconds;
}

std::vector<std::size_t> ScalingArgumentCounts() { return {1, 10, 100, 1000}; }
std::vector<std::size_t> ScalingTextBytes() { return {1024, 64 * 1024, 1024 * 1024}; }

std::string ScalingArgumentsName(std::size_t count) {
  return "scaling/arguments " + std::to_string(count);
}

std::string ScalingTextName(std::size_t bytes) {
  return bytes >= 1024 * 1024 ? "scaling/text " + std::to_string(bytes >> 20) + " MiB"
                              : "scaling/text " + std::to_string(bytes >> 10) + " KiB";
}

std::vector<LatencyBenchmark> LatencyBenchmarks() {
  const std::string getVersion =
      "GET Version SAORI/1.0\r\nCharset: UTF-8\r\nSender: benchmark\r\n\r\n";
  std::vector<LatencyBenchmark> list = {
      {names::kAddQueueUtf8, 10000, 20, Make<IdleAddQueue>("UTF-8", kShortTextUtf8)},
      {names::kAddQueueShiftJis, 10000, 20,
       Make<IdleAddQueue>("Shift_JIS", kShortTextShiftJis)},
      {names::kAddQueueRefused, 10000, 20, Make<RefusedAddQueue>()},
      {names::kClearQueue, 10000, 20, Make<PlainRequest>(ClearQueueRequest(), 200)},
      {names::kSetQueueMax, 10000, 20, Make<PlainRequest>(SetQueueMaxRequest(255), 200)},
      {names::kGetStatus, 10000, 20,
       Make<PlainRequest>(ExecuteRequest("UTF-8", {"GetStatus"}), 200)},
      {names::kGetVersion, 10000, 20, Make<PlainRequest>(getVersion, 200)},
      {names::kUnparsable, 10000, 20,
       Make<PlainRequest>(std::string("not a request\r\n\r\n"), 500)},
      {names::kBlockingDelivery, 10000, 20, Make<BlockingDelivery>()},
      {names::kProcessStart, 500, 3, Make<ProcessStart>()},
      {names::kAddQueueWorkerBlocked, 10000, 20,
       Make<BlockedAddQueue>(kShortTextUtf8, false)},
  };
  for (std::size_t count : ScalingArgumentCounts()) {
    list.push_back({ScalingArgumentsName(count), count >= 1000 ? 500u : 2000u, 3,
                    Make<PlainRequest>(ArgumentsRequest(count), 200)});
  }
  for (std::size_t bytes : ScalingTextBytes()) {
    const std::size_t samples = bytes >= 1024 * 1024 ? 30 : bytes >= 64 * 1024 ? 300 : 2000;
    list.push_back({ScalingTextName(bytes), samples, 3,
                    Make<BlockedAddQueue>(TextOfBytes(bytes), true)});
  }
  return list;
}

double WorkerThroughput(std::size_t entries) {
  // The worker is first held in the send of a packet larger than the socket buffers
  // to a server that does not read, so that every entry is waiting before it
  // drains the first one.
  auto gate = std::make_unique<TalkListener>(TalkListener::Mode::kAcceptNeverRead);
  TalkListener sink{TalkListener::Mode::kCount};
  ModuleSession module;
  module.Expect(SetQueueMaxRequest(kLargestQueue), 200);
  module.Expect(AddQueueRequest("UTF-8", TextOfBytes(kGateTextBytes), gate->port()), 200);
  WaitUntilTaken(module);
  const std::string request = AddQueueRequest("UTF-8", kShortTextUtf8, sink.port());
  for (std::size_t i = 0; i < entries; ++i) module.Expect(request, 200);
  Require(module.QueueLength() == static_cast<long>(entries),
          "the worker did not stay held while the entries were queued");

  // Timed from the moment the gate closes, which resets the held connection and
  // turns the worker to the queue, to the last packet's arrival.
  gate.reset();
  const Clock::time_point start = Clock::now();
  const std::size_t received = sink.WaitForEnded(entries, kDrainWaitMs);
  const double rate = PacketsPerSecond(entries, start);
  Require(received >= entries, "the worker did not deliver every entry");
  Require(sink.ReceivedBytes() == entries * ShortTextPacketBytes(),
          "the worker's packets did not arrive whole");
  return rate;
}

double PlainLoopThroughput(std::size_t entries) {
  TalkListener sink{TalkListener::Mode::kCount};
  Require(platform::StartNetwork(), "the network did not start");
  speech::TalkEntry entry;
  entry.text = kShortTextUtf8;
  entry.host = kLoopback;
  entry.port = sink.port();
  std::vector<char> buffer;
  platform::Interrupt interrupt;

  const Clock::time_point start = Clock::now();
  for (std::size_t i = 0; i < entries; ++i) speech::SendTalkPacket(entry, buffer, interrupt);
  const std::size_t received = sink.WaitForEnded(entries, kDrainWaitMs);
  const double rate = PacketsPerSecond(entries, start);
  platform::StopNetwork();
  Require(received >= entries, "the plain loop's packets did not all arrive");
  Require(sink.ReceivedBytes() == entries * ShortTextPacketBytes(),
          "the plain loop's packets did not arrive whole");
  return rate;
}

Throughput MeasureThroughput(std::size_t entries, int bursts) {
  std::vector<double> worker;
  std::vector<double> plain;
  for (int i = 0; i < bursts; ++i) {
    worker.push_back(WorkerThroughput(entries));
    plain.push_back(PlainLoopThroughput(entries));
  }
  Throughput throughput;
  throughput.workerPacketsPerSecond = MedianOf(worker);
  throughput.plainPacketsPerSecond = MedianOf(plain);
  return throughput;
}

QueueMemory MeasureQueueMemory(std::size_t entries, std::size_t textBytes) {
  QueueMemory memory;
  memory.entries = entries;
  memory.textBytes = textBytes;

  TalkListener blocker(TalkListener::Mode::kNeverAccept);
  ModuleSession module;
  module.Expect(SetQueueMaxRequest(entries), 200);
  HoldUpWorker(module, blocker);
  const std::string request = AddQueueRequest("UTF-8", TextOfBytes(textBytes), blocker.port());

  const std::size_t heapBefore = platform::HeapBytesInUse();
  memory.residentBeforeBytes = platform::ResidentBytes();
  for (std::size_t i = 0; i < entries; ++i) module.Expect(request, 200);
  const std::size_t heapFull = platform::HeapBytesInUse();
  memory.residentFullBytes = platform::ResidentBytes();

  Require(module.QueueLength() == static_cast<long>(entries), "the queue is not full");
  module.Expect(request, 500);
  memory.measured = heapBefore != 0 && heapFull != 0;
  if (memory.measured) {
    memory.heapBytesPerEntry =
        (static_cast<double>(heapFull) - static_cast<double>(heapBefore)) /
        static_cast<double>(entries);
  }
  return memory;
}

}  // namespace bench
