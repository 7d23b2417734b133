#include <exception>
#include <utility>
#include <vector>

#include "platform/network.h"
#include "speech/talk_delivery.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

// The worker thread's start routine; `argument` is the instance.
unsigned WorkerThreadProc(void* argument) {
  static_cast<CTovaro*>(argument)->RunWorker();
  return 0;
}

}  // namespace

bool CTovaro::OnLoad() {
  // Owed a StopNetwork whether or not the start succeeds.
  networkStarted = true;
  if (!platform::StartNetwork()) return true;

  wakeEvent.Create();
  deliveryInterrupt.Reset();
  {
    // No worker yet; the lock only keeps the guarded members' rule uniform.
    platform::QueueLockGuard guard(queueLock);
    talkQueue.clear();
    queueMax = kDefaultQueueMax;
  }
  running = true;
  // A thread that fails to start leaves no worker: AddQueue is refused.
  workerThread.Start(&WorkerThreadProc, this);
  return true;
}

bool CTovaro::OnUnload() {
  running = false;
  wakeEvent.Signal();
  // Cuts short a delivery blocked on the network where the platform can.
  deliveryInterrupt.Trigger();
  if (workerThread.IsStarted()) {
    if (!workerThread.WaitForEnd(kWorkerStopTimeoutMs)) workerThread.Terminate();
    workerThread.Close();
  }
  wakeEvent.Close();
  if (networkStarted) {
    platform::StopNetwork();
    networkStarted = false;
  }
  // Not under the lock: a worker ended by force may have left it held.
  talkQueue.clear();
  return true;
}

void CTovaro::RunWorker() {
  if (!running) return;
  // Waiting on an event that does not exist would return at once, forever.
  if (!wakeEvent.IsOpen()) return;

  for (;;) {
    wakeEvent.Wait();
    // One buffer for the whole pass, resized for each entry.
    std::vector<char> packet;
    for (;;) {
      TalkEntry entry;
      {
        platform::QueueLockGuard guard(queueLock);
        if (talkQueue.empty() || !running) break;
        entry = std::move(talkQueue.front());
        talkQueue.pop_front();
      }
      // Delivery happens outside the lock, so no request waits for the server.
      // An entry that can't be built or sent (memory, say) is dropped like one
      // that can't be delivered; the exception must not end the host process.
      // Only std::exception is caught: a thread cancelled by force unwinds with
      // something else, which has to pass.
      try {
        SendTalkPacket(entry, packet, deliveryInterrupt);
      } catch (const std::exception&) {
      }
    }
    if (!running) return;
  }
}

}  // namespace speech
