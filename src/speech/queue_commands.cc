#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

#include "platform/code_page.h"
#include "saori/number_reader.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "saori/text_conversion.h"
#include "speech/queue_arguments.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

saori::ByteString ToUtf8(const saori::WideString& argument) {
  return saori::WideToMultiByte(argument.c_str(), platform::kCodePageUtf8);
}

// The 16 bits as a two's-complement number, without relying on how the compiler
// narrows out-of-range values.
std::int16_t AsSigned16(std::uint16_t bits) {
  return bits < 0x8000u ? static_cast<std::int16_t>(bits)
                        : static_cast<std::int16_t>(static_cast<int>(bits) - 0x10000);
}

}  // namespace

std::uint16_t ReadLow16Bits(const saori::WideString& argument) {
  const std::int32_t number = saori::ReadDecimal(ToUtf8(argument).c_str());
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(number) & 0xFFFFu);
}

bool ReadTalkEntry(const std::vector<saori::WideString>& arguments, TalkEntry& entry) {
  const std::size_t count = arguments.size();
  if (count != 2 && count != 3 && count != 4 && count != 8) return false;

  TalkEntry read;
  read.text = ToUtf8(arguments[1]);
  if (count >= 3) read.host = ToUtf8(arguments[2]);
  if (count >= 4) read.port = ReadLow16Bits(arguments[3]);
  if (count == 8) {
    read.speed = AsSigned16(ReadLow16Bits(arguments[4]));
    read.tone = AsSigned16(ReadLow16Bits(arguments[5]));
    read.volume = AsSigned16(ReadLow16Bits(arguments[6]));
    read.voice = AsSigned16(ReadLow16Bits(arguments[7]));
  }
  entry = std::move(read);
  return true;
}

void CTovaro::AddQueue(saori::CSAORIRequest& request, saori::CSAORIResponse& response) {
  // Everything that allocates happens before the lock, so the host's thread holds
  // it only for the test and the append.
  TalkEntry entry;
  if (!ReadTalkEntry(request.arguments, entry)) return;

  response.status = 500;
  bool wake = false;
  {
    platform::LockGuard guard(shared->queueLock);
    if (!workerThread.IsStarted() || shared->talkQueue.size() >= shared->queueMax) {
      return;
    }
    // Leaves the queue as it was if the append runs out of memory.
    shared->talkQueue.push_back(std::move(entry));
    // A worker that is draining takes this entry before it waits again; a signal
    // would only make its next wait return at once, and under Wine each costs a
    // round trip to the server.
    wake = shared->workerWaiting;
    shared->workerWaiting = false;
  }
  if (wake) shared->wakeEvent.Signal();
  response.status = 200;
}

void CTovaro::ClearQueue(saori::CSAORIRequest& /*request*/,
                         saori::CSAORIResponse& response) {
  // The entries are released after the lock is let go, so the worker never waits
  // on the freeing of a long queue.
  std::deque<TalkEntry> dropped;
  {
    platform::LockGuard guard(shared->queueLock);
    dropped.swap(shared->talkQueue);
    if (!dropped.empty()) {
      DeliveryReport& report = shared->report;
      report.dropped += dropped.size();
      report.lastCause = DropCause::kCleared;
      report.lastHost.clear();
      report.lastPort = 0;
    }
  }
  response.status = 200;
}

void CTovaro::SetQueueMax(saori::CSAORIRequest& request,
                          saori::CSAORIResponse& response) {
  if (request.arguments.size() < 2) return;
  const std::uint16_t maximum = ReadLow16Bits(request.arguments[1]);
  if (maximum == 0) return;
  {
    platform::LockGuard guard(shared->queueLock);
    shared->queueMax = maximum;
  }
  response.status = 200;
}

}  // namespace speech
