#include "harness.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "platform/host_memory.h"

namespace bench {
namespace {

#if defined(_WIN32)
const char* const kModuleFile = TOVARO_MODULE_FILE;
#else
const char* const kModuleFile = TOVARO_MODULE_PATH;
#endif

// The nearest-rank percentile of sorted samples.
double Rank(const std::vector<double>& sorted, double fraction) {
  const double position = std::ceil(fraction * static_cast<double>(sorted.size()));
  std::size_t index = position < 1 ? 0 : static_cast<std::size_t>(position) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

// TOVARO_BENCH_MODULE names another build of the module, so that two builds can be
// compared on the same machine in the same minutes.
std::string ModuleFile() {
  const char* other = std::getenv("TOVARO_BENCH_MODULE");
  return other != nullptr && *other != '\0' ? other : kModuleFile;
}

}  // namespace

Latency Summarise(std::vector<double> samples) {
  Latency latency;
  latency.samples = samples.size();
  if (samples.empty()) return latency;
  std::sort(samples.begin(), samples.end());
  latency.medianNs = Rank(samples, 0.5);
  latency.p99Ns = Rank(samples, 0.99);
  return latency;
}

double MedianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string ExecuteRequest(const std::string& charset,
                           const std::vector<std::string>& arguments) {
  std::string text = "EXECUTE SAORI/1.0\r\nCharset: " + charset +
                     "\r\nSender: benchmark\r\nSecurityLevel: Local\r\n";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    text += "Argument" + std::to_string(i) + ": " + arguments[i] + "\r\n";
  }
  return text + "\r\n";
}

std::string ExecuteRequest(const std::string& charset,
                           std::initializer_list<std::string> arguments) {
  return ExecuteRequest(charset, std::vector<std::string>(arguments));
}

int StatusOf(const std::string& answer) {
  const std::size_t blank = answer.find(' ');
  if (blank == std::string::npos) return -1;
  return std::atoi(answer.c_str() + blank + 1);
}

long ResultOf(const std::string& answer) {
  const std::size_t at = answer.find("\r\nResult: ");
  if (at == std::string::npos) return -1;
  return std::atol(answer.c_str() + at + 10);
}

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

ModuleSession::ModuleSession() : module_(ModuleFile()) {
  Require(module_.IsOpen(), "cannot open the module: " + module_.error());
  Require(module_.LoadU(".") == 1, "the module's loadu failed");
}

ModuleSession::~ModuleSession() {
  module_.Unload();
  module_.Close();
}

double ModuleSession::TimedRequest(const std::string& bytes, std::string* answer) {
  void* block = platform::NewHostBlock(bytes);
  long length = static_cast<long>(bytes.size());
  const Clock::time_point start = Clock::now();
  void* result = module_.request(block, &length);
  const Clock::time_point end = Clock::now();
  if (answer != nullptr) {
    answer->assign(result != nullptr && length > 0 ? static_cast<const char*>(result) : "",
                   result != nullptr && length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  platform::FreeHostBlock(result);
  return NanosecondsBetween(start, end);
}

std::string ModuleSession::Expect(const std::string& bytes, int expectedStatus) {
  std::string answer;
  TimedRequest(bytes, &answer);
  Require(StatusOf(answer) == expectedStatus,
          "expected status " + std::to_string(expectedStatus) + ", got: " +
              answer.substr(0, answer.find('\r')));
  return answer;
}

long ModuleSession::QueueLength() {
  return ResultOf(Expect(ExecuteRequest("UTF-8", {}), 200));
}

}  // namespace bench
