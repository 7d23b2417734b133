// The native benchmarks under Google Benchmark. Prints the one table of
// bench/report.h; --gbench shows Google Benchmark's own report as well, and
// --quick runs every benchmark a few times only (for CI, so the benchmarks can't
// rot). Other --benchmark_* flags pass through. Exits 1 when a benchmark failed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "report.h"
#include "scenarios.h"

namespace {

bench::Results results;
bool quick = false;

// Keeps Google Benchmark quiet when only the table is wanted.
class SilentReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>&) override {}
};

void Fail(benchmark::State& state, const std::string& name, const std::exception& error) {
  results.failures.push_back(name + ": " + error.what());
  state.SkipWithError(error.what());
}

void RunLatency(benchmark::State& state, const bench::LatencyBenchmark& benchmark) {
  std::vector<double> samples;
  try {
    std::unique_ptr<bench::Sampler> sampler = benchmark.make();
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
      const double ns = sampler->Sample();
      state.SetIterationTime(ns / 1e9);
      samples.push_back(ns);
    }
  } catch (const std::exception& error) {
    Fail(state, benchmark.name, error);
    return;
  }
  const bench::Latency latency = bench::Summarise(samples);
  results.latency[benchmark.name] = latency;
  state.counters["median_us"] = latency.medianNs / 1000.0;
  state.counters["p99_us"] = latency.p99Ns / 1000.0;
}

void RunThroughput(benchmark::State& state) {
  const std::size_t entries = quick ? 100 : bench::kThroughputEntries;
  results.throughputEntries = entries;
  try {
    for (auto _ : state) {
      const bench::Throughput throughput = bench::MeasureThroughput(entries, quick ? 1 : 5);
      results.workerPacketsPerSecond = throughput.workerPacketsPerSecond;
      results.plainPacketsPerSecond = throughput.plainPacketsPerSecond;
    }
  } catch (const std::exception& error) {
    Fail(state, "throughput", error);
    return;
  }
  state.counters["worker_packets_per_s"] = results.workerPacketsPerSecond;
  state.counters["plain_packets_per_s"] = results.plainPacketsPerSecond;
}

void RunInterleaved(benchmark::State& state) {
  try {
    for (auto _ : state) {
      results.interleaved =
          bench::MeasureInterleaved(quick ? 50 : bench::kInterleavedPackets, quick ? 1 : 5);
    }
  } catch (const std::exception& error) {
    Fail(state, "interleaved", error);
    return;
  }
  results.latency[bench::names::kAddQueueWorkerDelivering] =
      bench::Summarise(results.interleaved.addQueueNs);
  state.counters["worker_packets_per_s"] = results.interleaved.workerPacketsPerSecond;
  state.counters["plain_packets_per_s"] = results.interleaved.plainPacketsPerSecond;
}

void RunMemory(benchmark::State& state) {
  const std::size_t entries = quick ? 1000 : bench::kLargestQueue;
  try {
    for (auto _ : state) {
      results.memory = bench::MeasureQueueMemory(entries, bench::kMemoryTextBytes);
    }
  } catch (const std::exception& error) {
    Fail(state, "memory", error);
    return;
  }
  state.counters["heap_bytes_per_entry"] = results.memory.heapBytesPerEntry;
  state.counters["resident_full_MiB"] =
      static_cast<double>(results.memory.residentFullBytes) / 1048576.0;
}

void Register() {
  // First, while the heap holds nothing yet from the other benchmarks' large texts.
  benchmark::RegisterBenchmark("memory/full queue", &RunMemory)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  for (const bench::LatencyBenchmark& benchmark : bench::LatencyBenchmarks()) {
    benchmark::RegisterBenchmark(benchmark.name.c_str(),
                                 [benchmark](benchmark::State& state) {
                                   RunLatency(state, benchmark);
                                 })
        ->Iterations(static_cast<benchmark::IterationCount>(
            quick ? benchmark.quickSamples : benchmark.samples))
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("throughput/worker and plain loop", &RunThroughput)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("interleaved/host queues while the worker delivers",
                               &RunInterleaved)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  bool showGbench = false;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--gbench") == 0) {
      showGbench = true;
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 2;

  results.quick = quick;
  results.platform = "the native build (Google Benchmark)";
  Register();
  if (showGbench) {
    benchmark::RunSpecifiedBenchmarks();
  } else {
    SilentReporter silent;
    benchmark::RunSpecifiedBenchmarks(&silent);
  }
  benchmark::Shutdown();

  bench::PrintTable(results, std::cout);
  return results.failures.empty() ? 0 : 1;
}
