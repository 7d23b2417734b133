// The benchmarks without a benchmark library, for the Windows build under Wine
// (and anywhere Google Benchmark is missing). Prints the same table as the native
// program. --quick runs every benchmark a few times only. Exits 1 when a benchmark
// failed.
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "report.h"
#include "scenarios.h"

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    // The small process of the process-start baseline on Windows.
    if (std::strcmp(argv[i], "--noop") == 0) return 0;
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;
  }

  bench::Results results;
  results.quick = quick;
#if defined(_WIN32)
  results.platform = "the Windows build (timing program)";
#else
  results.platform = "the native build (timing program)";
#endif

  // First, while the heap holds nothing yet from the other benchmarks' large texts.
  try {
    results.memory = bench::MeasureQueueMemory(quick ? 1000 : bench::kLargestQueue,
                                               bench::kMemoryTextBytes);
  } catch (const std::exception& error) {
    results.failures.push_back(std::string("memory: ") + error.what());
  }

  for (const bench::LatencyBenchmark& benchmark : bench::LatencyBenchmarks()) {
    try {
      std::unique_ptr<bench::Sampler> sampler = benchmark.make();
      const std::size_t count = quick ? benchmark.quickSamples : benchmark.samples;
      std::vector<double> samples;
      samples.reserve(count);
      for (std::size_t i = 0; i < count; ++i) samples.push_back(sampler->Sample());
      results.latency[benchmark.name] = bench::Summarise(samples);
    } catch (const std::exception& error) {
      results.failures.push_back(benchmark.name + ": " + error.what());
    }
  }

  const std::size_t entries = quick ? 100 : bench::kThroughputEntries;
  const int bursts = quick ? 1 : 5;
  results.throughputEntries = entries;
  try {
    const bench::Throughput throughput = bench::MeasureThroughput(entries, bursts);
    results.workerPacketsPerSecond = throughput.workerPacketsPerSecond;
    results.plainPacketsPerSecond = throughput.plainPacketsPerSecond;
  } catch (const std::exception& error) {
    results.failures.push_back(std::string("throughput: ") + error.what());
  }

  try {
    results.interleaved =
        bench::MeasureInterleaved(quick ? 50 : bench::kInterleavedPackets, bursts);
    results.latency[bench::names::kAddQueueWorkerDelivering] =
        bench::Summarise(results.interleaved.addQueueNs);
  } catch (const std::exception& error) {
    results.failures.push_back(std::string("interleaved: ") + error.what());
  }

  bench::PrintTable(results, std::cout);
  return results.failures.empty() ? 0 : 1;
}
