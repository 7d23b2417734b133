// The benchmarks themselves, free of any benchmark library, so that the native
// Google Benchmark program and the timing program for the Windows build run the
// very same code.
//
// Each latency benchmark is a Sampler: its constructor sets the module and the
// stand-in speech servers up (untimed), and every Sample() returns the time of one
// operation. Constructors and Sample() throw std::runtime_error when the module
// does not answer as the benchmark expects, so a figure never stands for the
// wrong thing.
#ifndef TOVARO_BENCH_SCENARIOS_H_
#define TOVARO_BENCH_SCENARIOS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace bench {

class Sampler {
 public:
  virtual ~Sampler() = default;
  // Nanoseconds of one timed operation.
  virtual double Sample() = 0;
};

struct LatencyBenchmark {
  std::string name;          // unique; the report looks figures up by it
  std::size_t samples;       // in a full run
  std::size_t quickSamples;  // in a quick run
  std::function<std::unique_ptr<Sampler>()> make;
};

// Names of the latency benchmarks that the report relates to each other.
namespace names {
inline const char kAddQueueUtf8[] = "answer/AddQueue UTF-8";
inline const char kAddQueueShiftJis[] = "answer/AddQueue Shift_JIS";
inline const char kAddQueueRefused[] = "answer/AddQueue refused, queue full";
inline const char kClearQueue[] = "answer/ClearQueue";
inline const char kSetQueueMax[] = "answer/SetQueueMax";
inline const char kGetStatus[] = "answer/GetStatus";
inline const char kGetVersion[] = "answer/GET Version";
inline const char kUnparsable[] = "answer/unparsable request";
inline const char kBlockingDelivery[] = "baseline/blocking delivery to loopback";
inline const char kProcessStart[] = "baseline/start one small process";
inline const char kAddQueueWorkerBlocked[] = "isolation/AddQueue, worker blocked";
inline const char kAddQueueWorkerDelivering[] = "interleaved/AddQueue while the worker delivers";
}  // namespace names

// Benchmarks 1, 3 and 5: answer latency, its baselines, isolation and scaling.
// Scaling names are "scaling/arguments N" and "scaling/text N".
std::vector<LatencyBenchmark> LatencyBenchmarks();
// The argument counts and text sizes that scaling uses, smallest first.
std::vector<std::size_t> ScalingArgumentCounts();
std::vector<std::size_t> ScalingTextBytes();
std::string ScalingArgumentsName(std::size_t count);
std::string ScalingTextName(std::size_t bytes);

// Benchmark 2: packets per second from the first AddQueue of `entries` queued in
// one burst until the stand-in server has received them all.
double WorkerThroughput(std::size_t entries);
// The same packets sent by a plain loop on this thread: open, send, close.
double PlainLoopThroughput(std::size_t entries);
struct Throughput {
  double workerPacketsPerSecond = 0;
  double plainPacketsPerSecond = 0;
};
// Worker bursts and plain-loop bursts taken in turn, so that both meet the same
// load on a shared machine; the median rate of `bursts` of each.
Throughput MeasureThroughput(std::size_t entries, int bursts);

// Benchmark 6: the host queues at full speed while the worker delivers. Each burst
// loads the module afresh; the host calls AddQueue in a loop, every call timed,
// until the worker has delivered `packets`; then a plain loop sends as many to a
// listener of its own. Bursts of the two taken in turn.
struct Interleaved {
  std::vector<double> addQueueNs;     // every AddQueue of every burst
  double workerPacketsPerSecond = 0;  // the median of the bursts
  double plainPacketsPerSecond = 0;   // the median of the bursts
};
Interleaved MeasureInterleaved(std::size_t packets, int bursts);
// Packets of an interleaved burst in a full run.
constexpr std::size_t kInterleavedPackets = 1000;

// The AddQueue request of the short text for the server at `port` on this machine,
// and the size of its talk packet.
std::string ShortAddQueueRequest(std::uint16_t port);
std::size_t ShortTextPacketBytes();
std::string ClearQueueRequest();
std::string SetQueueMaxRequest(std::size_t maximum);
// Returns once the worker has taken every waiting entry off the queue.
void WaitUntilTaken(ModuleSession& module);
// Packets per second of `packets` from `start` until now.
double PacketsPerSecond(std::size_t packets, Clock::time_point start);

// Benchmark 4: the queue filled to `entries` waiting entries of `textBytes` bytes
// each while the worker is held up.
struct QueueMemory {
  bool measured = false;  // false where the platform gives no figures
  std::size_t entries = 0;
  std::size_t textBytes = 0;
  double heapBytesPerEntry = 0;
  std::size_t residentBeforeBytes = 0;
  std::size_t residentFullBytes = 0;
};
QueueMemory MeasureQueueMemory(std::size_t entries, std::size_t textBytes);

// The largest queue bound and the text of the memory benchmark.
constexpr std::size_t kLargestQueue = 65535;
constexpr std::size_t kMemoryTextBytes = 100;
// Entries of the throughput benchmark.
constexpr std::size_t kThroughputEntries = 5000;

}  // namespace bench

#endif  // TOVARO_BENCH_SCENARIOS_H_
