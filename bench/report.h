// The one table that scripts/bench prints: every figure, and the ratios that
// relate the module's figures to the baselines of the same run.
#ifndef TOVARO_BENCH_REPORT_H_
#define TOVARO_BENCH_REPORT_H_

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "scenarios.h"

namespace bench {

// Collected by a run; what a run did not measure is left out and shown as such.
struct Results {
  std::string platform;  // what the figures were taken on, for the table's head
  bool quick = false;
  std::map<std::string, Latency> latency;
  double workerPacketsPerSecond = 0;
  double plainPacketsPerSecond = 0;
  std::size_t throughputEntries = 0;
  Interleaved interleaved;
  QueueMemory memory;
  std::vector<std::string> failures;  // benchmarks that could not run, and why
};

void PrintTable(const Results& results, std::ostream& out);

}  // namespace bench

#endif  // TOVARO_BENCH_REPORT_H_
