#include "saori_call/delivery_status.h"

#include <chrono>
#include <ostream>
#include <thread>

#include "saori_call/request_builder.h"

namespace tools::saori_call {
namespace {

constexpr char kName[] = "saori-call: ";

// The value of Value`index`, or null when the answer has none.
const std::string* ValueAt(const Answer& answer, long index) {
  for (const auto& value : answer.values) {
    if (value.first == index) return &value.second;
  }
  return nullptr;
}

// GetStatus answered: 200, with the report after Value0.
bool IsStatusAnswer(const Answer& answer) {
  return answer.isSaori && answer.status == 200 && answer.hasResult &&
         ValueAt(answer, 1) != nullptr;
}

const std::string& ValueOr(const Answer& answer, long index, const std::string& other) {
  const std::string* value = ValueAt(answer, index);
  return value != nullptr ? *value : other;
}

}  // namespace

std::string StatusRequest(const std::string& charsetName) {
  return BuildRequest(charsetName, {"GetStatus"});
}

void WaitUntilDelivered(const Ask& ask, const std::string& charsetName, double seconds,
                        std::ostream& err) {
  const std::string status = StatusRequest(charsetName);
  const std::string bare = BuildRequest(charsetName, {});
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(seconds));
  bool statusKnown = true;  // until the module shows it does not know GetStatus
  for (;;) {
    Answer answer = ask(statusKnown ? status : bare);
    if (statusKnown && !IsStatusAnswer(answer)) {
      statusKnown = false;
      continue;
    }
    if (!answer.isSaori || !answer.hasResult) {
      err << kName << "--wait: the module gave no Result to wait on\n";
      return;
    }
    const bool underWay = statusKnown && ValueOr(answer, 1, "0") != "0";
    if (answer.result == "0" && !underWay) return;
    if (std::chrono::steady_clock::now() >= deadline) {
      err << kName << "--wait: " << Printable(answer.result) << " still waiting"
          << (underWay ? ", a delivery under way," : "") << " after " << seconds
          << " s; unloading anyway\n";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string DescribeStatus(const Answer& answer) {
  if (!IsStatusAnswer(answer)) return std::string();
  const std::string none;
  const std::string& cause = ValueOr(answer, 4, none);
  std::string text = "waiting: " + Printable(answer.result) + " (bound " +
                     Printable(ValueOr(answer, 0, none)) + ")\n";
  text += std::string("under way: ") +
          (ValueOr(answer, 1, none) == "0" ? "nothing" : "one delivery") + "\n";
  text += "since load: " + Printable(ValueOr(answer, 2, none)) + " delivered, " +
          Printable(ValueOr(answer, 3, none)) + " dropped\n";
  if (cause.empty() || cause == "none") return text + "last drop: none\n";
  text += "last drop: " + Printable(cause) + "\n";
  for (long index : {6L, 5L}) {
    const std::string& sentence = ValueOr(answer, index, none);
    if (!sentence.empty()) text += "  " + Printable(sentence) + "\n";
  }
  return text;
}

}  // namespace tools::saori_call
