#include "report.h"

#include <cstdio>
#include <string>

namespace bench {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Microseconds(double ns) { return Format("%.2f us", ns / 1000.0); }
std::string Ratio(double ratio) { return Format("%.1fx", ratio); }

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

const Latency* Find(const Results& results, const std::string& name) {
  const auto found = results.latency.find(name);
  return found == results.latency.end() || found->second.samples == 0 ? nullptr
                                                                       : &found->second;
}

// The part of a benchmark's name after its group.
std::string Label(const std::string& name) {
  const std::size_t slash = name.find('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

void LatencyRow(std::ostream& out, const std::string& label, const Latency* latency,
                const std::string& extra = std::string()) {
  out << "  " << Pad(label, 40);
  if (latency == nullptr) {
    out << "not measured\n";
    return;
  }
  out << Pad(Microseconds(latency->medianNs), 12) << Pad(Microseconds(latency->p99Ns), 12)
      << Pad(std::to_string(latency->samples), 8) << extra << "\n";
}

// How many times the baseline's median is of the figure's median.
std::string TimesFaster(const Latency* baseline, const Latency* figure) {
  if (baseline == nullptr || figure == nullptr || figure->medianNs <= 0) return "-";
  return Ratio(baseline->medianNs / figure->medianNs);
}

void AnswerSection(const Results& results, std::ostream& out) {
  const Latency* delivery = Find(results, names::kBlockingDelivery);
  const Latency* process = Find(results, names::kProcessStart);
  out << "1. Answer latency of request\n"
      << "  " << Pad("", 40) << Pad("median", 12) << Pad("p99", 12) << Pad("samples", 8)
      << Pad("delivery/this", 15) << "process/this\n";
  for (const char* name : {names::kAddQueueUtf8, names::kAddQueueShiftJis,
                           names::kAddQueueRefused, names::kClearQueue,
                           names::kSetQueueMax, names::kGetStatus, names::kGetVersion,
                           names::kUnparsable}) {
    const Latency* figure = Find(results, name);
    LatencyRow(out, Label(name), figure,
               Pad(TimesFaster(delivery, figure), 15) + TimesFaster(process, figure));
  }
  out << "  baselines, same run:\n";
  LatencyRow(out, Label(names::kBlockingDelivery), delivery);
  LatencyRow(out, Label(names::kProcessStart), process);
}

void ThroughputSection(const Results& results, std::ostream& out) {
  out << "2. Delivery throughput, " << results.throughputEntries
      << " entries queued at once, loopback listener\n";
  if (results.workerPacketsPerSecond <= 0 || results.plainPacketsPerSecond <= 0) {
    out << "  not measured\n";
    return;
  }
  out << "  " << Pad("worker drains the queue", 40)
      << Format("%.0f packets/s", results.workerPacketsPerSecond) << "\n"
      << "  " << Pad("plain loop: open, send, close", 40)
      << Format("%.0f packets/s", results.plainPacketsPerSecond) << "\n"
      << "  " << Pad("ratio worker/plain", 40)
      << Format("%.2f", results.workerPacketsPerSecond / results.plainPacketsPerSecond)
      << "\n";
}

void IsolationSection(const Results& results, std::ostream& out) {
  const Latency* idle = Find(results, names::kAddQueueUtf8);
  const Latency* blocked = Find(results, names::kAddQueueWorkerBlocked);
  out << "3. Isolation: AddQueue while the worker is blocked on a listener that never"
         " accepts\n"
      << "  " << Pad("", 40) << Pad("median", 12) << Pad("p99", 12) << "samples\n";
  LatencyRow(out, "idle worker", idle);
  LatencyRow(out, "worker blocked", blocked);
  if (idle != nullptr && blocked != nullptr && idle->medianNs > 0 && idle->p99Ns > 0) {
    out << "  " << Pad("ratio blocked/idle", 40)
        << Pad(Format("%.2f", blocked->medianNs / idle->medianNs), 12)
        << Format("%.2f", blocked->p99Ns / idle->p99Ns) << "\n";
  }
}

// What share of the baseline's median (or 99th percentile) the figure's is.
std::string ShareOf(double figureNs, const Latency* baseline) {
  if (baseline == nullptr || baseline->medianNs <= 0 || figureNs <= 0) return "-";
  const double share = figureNs / baseline->medianNs;
  return Format("%.3f", share) + (share < 1 ? Format(" (1/%.0f)", 1.0 / share) : "");
}

void InterleavedSection(const Results& results, std::ostream& out) {
  const Latency* delivery = Find(results, names::kBlockingDelivery);
  out << "6. Interleaved: the host calls AddQueue at full speed while the worker delivers\n"
      << "  " << Pad("", 40) << Pad("median", 12) << Pad("p99", 12) << Pad("samples", 8)
      << Pad("median/delivery", 18) << "p99/delivery\n";
  for (const char* name :
       {names::kAddQueueWorkerDelivering, names::kAddQueueUtf8, names::kGetVersion}) {
    const Latency* figure = Find(results, name);
    const std::string extra =
        figure == nullptr ? std::string()
                          : Pad(ShareOf(figure->medianNs, delivery), 18) +
                                ShareOf(figure->p99Ns, delivery);
    LatencyRow(out, name == names::kAddQueueUtf8 ? "AddQueue, worker idle" : Label(name),
               figure, extra);
  }
  LatencyRow(out, "baseline: " + Label(names::kBlockingDelivery), delivery);
  const Interleaved& interleaved = results.interleaved;
  if (interleaved.workerPacketsPerSecond <= 0 || interleaved.plainPacketsPerSecond <= 0) {
    out << "  throughput not measured\n";
    return;
  }
  out << "  " << Pad("worker delivers while the host queues", 40)
      << Format("%.0f packets/s", interleaved.workerPacketsPerSecond) << "\n"
      << "  " << Pad("plain loop: open, send, close", 40)
      << Format("%.0f packets/s", interleaved.plainPacketsPerSecond) << "\n"
      << "  " << Pad("ratio worker/plain", 40)
      << Format("%.2f",
                interleaved.workerPacketsPerSecond / interleaved.plainPacketsPerSecond)
      << "\n";
}

void MemorySection(const Results& results, std::ostream& out) {
  const QueueMemory& memory = results.memory;
  if (memory.entries == 0) {
    out << "4. Memory: not measured\n";
    return;
  }
  out << "4. Memory: " << memory.entries << " waiting entries of " << memory.textBytes
      << "-byte text\n";
  out << "  " << Pad("heap bytes per waiting entry", 40)
      << (memory.measured ? Format("%.1f bytes", memory.heapBytesPerEntry) : "not measured")
      << "\n"
      << "  " << Pad("resident size, queue empty", 40)
      << Format("%.1f MiB", static_cast<double>(memory.residentBeforeBytes) / 1048576.0)
      << "\n"
      << "  " << Pad("resident size, queue full", 40)
      << Format("%.1f MiB", static_cast<double>(memory.residentFullBytes) / 1048576.0)
      << "\n"
      << "  " << Pad("resident growth per waiting entry", 40)
      << Format("%.1f bytes", (static_cast<double>(memory.residentFullBytes) -
                               static_cast<double>(memory.residentBeforeBytes)) /
                                  static_cast<double>(memory.entries))
      << "\n";
}

// Each row's median, its cost per unit, and how much the cost grew against the
// previous row compared with how much the input grew: 1.0 is exactly linear.
void ScalingRows(const Results& results, std::ostream& out,
                 const std::vector<std::size_t>& sizes,
                 std::string (*name)(std::size_t), const char* unit) {
  const Latency* previous = nullptr;
  std::size_t previousSize = 0;
  double worst = 0;
  for (std::size_t size : sizes) {
    const Latency* figure = Find(results, name(size));
    std::string extra;
    if (figure != nullptr) {
      extra = Pad(Format("%.1f ns/", figure->medianNs / static_cast<double>(size)) + unit, 18);
      if (previous != nullptr) {
        const double growth = (figure->medianNs / previous->medianNs) /
                              (static_cast<double>(size) / static_cast<double>(previousSize));
        extra += Format("%.2f", growth);
        if (growth > worst) worst = growth;
      }
    }
    LatencyRow(out, Label(name(size)), figure, extra);
    previous = figure;
    previousSize = size;
  }
  if (worst > 0) {
    out << "  " << Pad("", 40)
        << (worst < 2.0 ? "linear: the cost per " + std::string(unit) +
                              " never doubles as the input grows"
                        : "NOT LINEAR: the cost per " + std::string(unit) +
                              " grows with the input")
        << "\n";
  }
}

void ScalingSection(const Results& results, std::ostream& out) {
  out << "5. Scaling: answer latency by number of arguments and by text size\n"
      << "  " << Pad("", 40) << Pad("median", 12) << Pad("p99", 12) << Pad("samples", 8)
      << Pad("per unit", 18) << "growth per unit\n";
  ScalingRows(results, out, ScalingArgumentCounts(), &ScalingArgumentsName, "argument");
  ScalingRows(results, out, ScalingTextBytes(), &ScalingTextName, "byte");
}

}  // namespace

void PrintTable(const Results& results, std::ostream& out) {
  out << "Benchmarks on " << results.platform
      << (results.quick ? " (QUICK RUN: too few samples for the figures to mean anything)"
                        : "")
      << "\n\n";
  AnswerSection(results, out);
  out << "\n";
  ThroughputSection(results, out);
  out << "\n";
  IsolationSection(results, out);
  out << "\n";
  MemorySection(results, out);
  out << "\n";
  ScalingSection(results, out);
  out << "\n";
  InterleavedSection(results, out);
  for (const std::string& failure : results.failures) out << "FAILED: " << failure << "\n";
}

}  // namespace bench
