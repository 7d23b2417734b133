// Delivery faults through the built module, one test per fault: while the worker
// is held up or turned away, every request is still answered at once, and unload
// returns within its limit with the fault still in place and leaves no thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "module/module_fixture.h"
#include "support/answer_form.h"
#include "support/module_loader.h"
#include "support/talk_listener.h"

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kArrivalTimeoutMs = 5000;
// Not a speed goal: a request that waited for a stuck speech server would wait
// until the test's own time limit, so any bound far above a request's worst case
// on a loaded machine (valgrind, sanitizers, 8 MiB texts) tells the two apart.
constexpr double kAnswerSeconds = 10.0;
// Far below the 60 s a delivery that could not be cut short would cost.
constexpr double kUnloadSeconds = 30.0;
constexpr int kEntriesAfterFault = 3;

struct Fault {
  const char* name;
  // The listener that makes the fault, if one does.
  bool hasListener;
  TalkListener::Mode mode;
  // The host, and the port when no listener gives one ("" for a port where
  // nothing listens).
  const char* host;
  const char* port;
  // The text of the entry that meets the fault; large enough to fill every socket
  // buffer when the server never reads.
  std::size_t textBytes;
};

const Fault kFaults[] = {
    {"Refused", false, TalkListener::Mode::kRecord, "127.0.0.1", "", 5},
    {"NeverAccepts", true, TalkListener::Mode::kNeverAccept, "127.0.0.1", nullptr, 5},
    {"AcceptsNeverReads", true, TalkListener::Mode::kAcceptNeverRead, "127.0.0.1",
     nullptr, 8u << 20},
    {"ClosesAtOnce", true, TalkListener::Mode::kCloseAtOnce, "127.0.0.1", nullptr, 5},
    {"UnresolvableName", false, TalkListener::Mode::kRecord, "bad..name", "50001", 5},
    {"PortZero", false, TalkListener::Mode::kRecord, "127.0.0.1", "0", 5},
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class ModuleFaultMatrixTest : public ModuleTest,
                              public ::testing::WithParamInterface<Fault> {
 protected:
  // A listener for the fault, or null when the fault needs none.
  std::unique_ptr<TalkListener> FaultListener() {
    const Fault& fault = GetParam();
    return fault.hasListener ? std::make_unique<TalkListener>(fault.mode) : nullptr;
  }

  // Queues one entry that meets the fault and waits until the worker has it.
  void QueueFaultyEntry(const TalkListener* listener) {
    const Fault& fault = GetParam();
    std::string port = listener != nullptr   ? std::to_string(listener->port())
                       : *fault.port == '\0' ? std::to_string(UnusedPort())
                                             : fault.port;
    // Not timed: converting a large text is slow under the checkers, and the
    // fault is not in place yet.
    Answer answer = module.Request(HostExecute(
        "UTF-8", {"AddQueue", std::string(fault.textBytes, 'f'), fault.host, port}));
    ASSERT_EQ(StatusLine(answer.bytes), "SAORI/1.0 200 OK");
    ASSERT_TRUE(WaitForEmptyQueue(kArrivalTimeoutMs));
    // A listener that takes connections has this one once the worker is inside
    // the delivery.
    if (listener != nullptr && fault.mode == TalkListener::Mode::kAcceptNeverRead) {
      ASSERT_EQ(
          const_cast<TalkListener*>(listener)->WaitForAccepted(1, kArrivalTimeoutMs), 1u);
    }
  }

  // A request whose answer must be complete and come within kAnswerSeconds.
  Answer Timed(const std::string& request) {
    Clock::time_point start = Clock::now();
    Answer answer = module.Request(request);
    slowestAnswer = std::max(slowestAnswer, SecondsSince(start));
    EXPECT_TRUE(IsCompleteAnswer(answer.bytes, "UTF-8")) << answer.bytes;
    ++answered;
    return answer;
  }

  double slowestAnswer = 0;
  int answered = 0;
};

// The worker going on after each fault, and what it sends then, is the worker's
// tests' business; here the real sockets and the built module show that no
// request waits for a broken server and that unload cuts the fault short.
TEST_P(ModuleFaultMatrixTest, RequestsAnswerAtOnceAndUnloadIsWithinItsLimit) {
  std::unique_ptr<TalkListener> faulty = FaultListener();
  std::size_t threadsBefore = ThreadCount();
  module.Load("C:/ghost/");
  QueueFaultyEntry(faulty.get());

  // The fault is in place: the worker is held up in it or has just dropped it.
  for (int i = 0; i < kEntriesAfterFault; ++i) {
    Answer answer = Timed(HostExecute("UTF-8", {"AddQueue", "after the fault", "127.0.0.1",
                                                std::to_string(UnusedPort())}));
    EXPECT_EQ(StatusLine(answer.bytes), "SAORI/1.0 200 OK");
  }
  Timed(HostExecute("UTF-8", {}));
  Timed(HostExecute("UTF-8", {"SetQueueMax", "100"}));
  Timed(SaoriRequest("GET Version SAORI/1.0", {{"Charset", "UTF-8"}}));
  EXPECT_LT(slowestAnswer, kAnswerSeconds);
  RecordProperty("requests_answered", answered);
  RecordProperty("slowest_answer_us", static_cast<int>(slowestAnswer * 1e6));

  Clock::time_point start = Clock::now();
  EXPECT_EQ(module.Unload(), 1);
  double seconds = SecondsSince(start);
  EXPECT_LT(seconds, kUnloadSeconds);
  RecordProperty("unload_us", static_cast<int>(seconds * 1e6));
  EXPECT_LE(WaitForAtMostThreads(threadsBefore, 3000),
            threadsBefore);  // the worker ended

  // A new instance is in order.
  module.Load("C:/ghost/");
  EXPECT_EQ(QueueState(), "0/255");
  EXPECT_EQ(module.Unload(), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, ModuleFaultMatrixTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace test_support
