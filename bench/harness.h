// What every benchmark shares: the built module loaded as a host loads it, request
// texts as a host writes them, and the summary of a set of timings.
//
// Everything here runs on the benchmark's one thread, apart from the module's own
// worker and the stand-in speech servers' threads.
#ifndef TOVARO_BENCH_HARNESS_H_
#define TOVARO_BENCH_HARNESS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/module_loader.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double NanosecondsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::nano>(end - start).count();
}

// The median and 99th percentile of a set of timings, in nanoseconds.
struct Latency {
  double medianNs = 0;
  double p99Ns = 0;
  std::size_t samples = 0;
};

// Sorts `samples` (nanoseconds) and reads the two ranks; all zero when empty.
Latency Summarise(std::vector<double> samples);

// The middle value of `values` (the upper of the two middle ones for an even
// count); 0 when empty.
double MedianOf(std::vector<double> values);

// An EXECUTE request with a Charset line and the arguments in order, every line
// ended by CR LF, as a host sends it.
std::string ExecuteRequest(const std::string& charset,
                           const std::vector<std::string>& arguments);
std::string ExecuteRequest(const std::string& charset,
                           std::initializer_list<std::string> arguments);

// The status code of an answer's first line ("SAORI/1.0 200 OK" gives 200); -1 when
// there is none.
int StatusOf(const std::string& answer);
// The number after "Result: " in an answer; -1 when there is none.
long ResultOf(const std::string& answer);

// The built module, loaded and unloaded around the benchmark. Throws
// std::runtime_error when it cannot be opened or loaded.
class ModuleSession {
 public:
  ModuleSession();
  ~ModuleSession();
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;

  // One call of `request` with a block holding `bytes`, timed from the call to its
  // return; making the block and freeing the answer are not counted. The answer
  // goes to `answer` when given.
  double TimedRequest(const std::string& bytes, std::string* answer = nullptr);
  // The same, untimed, for setting the module up; throws std::runtime_error when
  // the answer's status is not `expectedStatus`.
  std::string Expect(const std::string& bytes, int expectedStatus);
  // The number of waiting entries, from an EXECUTE without arguments.
  long QueueLength();

 private:
  test_support::LoadedModule module_;
};

// Throws std::runtime_error with `what` when `condition` is false: benchmarks check
// that they measure what they say they measure.
void Require(bool condition, const std::string& what);

}  // namespace bench

#endif  // TOVARO_BENCH_HARNESS_H_
