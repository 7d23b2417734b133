#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "platform/network.h"
#include "speech/talk_delivery.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

using SharedRef = std::shared_ptr<CTovaro::Shared>;

// The worker thread's start routine; `argument` is the worker's own reference to
// the shared record, which it takes over.
unsigned WorkerThreadProc(void* argument) {
  std::unique_ptr<SharedRef> shared(static_cast<SharedRef*>(argument));
  CTovaro::RunWorker(**shared);
  return 0;
}

}  // namespace

bool CTovaro::OnLoad() {
  Shared& s = *shared;
  // Owed a StopNetwork whether or not the start succeeds.
  s.networkStarted = true;
  if (!platform::StartNetwork()) return true;

  // Without an event the worker would have nothing to sleep on, and AddQueue
  // would take texts that are never sent: no worker then, so it is refused.
  const bool haveEvent = s.wakeEvent.Create();
  s.deliveryInterrupt.Reset();
  {
    // No worker yet; the lock only keeps the guarded members' rule uniform.
    platform::LockGuard guard(s.queueLock);
    s.talkQueue.clear();
    s.queueMax = kDefaultQueueMax;
    // The worker's first step is its wait.
    s.workerWaiting = true;
  }
  if (!haveEvent) return true;
  s.running = true;
  // A thread that fails to start leaves no worker: AddQueue is refused.
  auto workerShare = std::make_unique<SharedRef>(shared);
  if (workerThread.Start(&WorkerThreadProc, workerShare.get())) {
    static_cast<void>(workerShare.release());  // the worker's now
  } else {
    s.running = false;
  }
  return true;
}

bool CTovaro::OnUnload() {
  Shared& s = *shared;
  s.running = false;
  s.wakeEvent.Signal();
  // Cuts short a delivery blocked on the network.
  s.deliveryInterrupt.Trigger();
  // Called inside the loader lock (from another module's DllMain, as it is freed
  // or the process exits), a worker that is still starting, or is in a network
  // call that loads modules, may be waiting for that very lock: no wait for it
  // could end. Only a worker already gone is reaped then; the rest is let go at
  // once and ends as soon as the lock is free. Any other worker needs nothing the
  // caller holds to leave its routine, and is waited for as anywhere.
  const bool workerMayAwaitOurLock =
      platform::HoldsLoaderLock() &&
      (workerThread.MayAwaitLoaderLock() || s.deliveryInterrupt.MayAwaitLoaderLock());
  // The one wait of unload: after it nothing else waits, so unload is within the
  // limit on every path.
  const bool workerEnded =
      workerThread.WaitForEnd(workerMayAwaitOurLock ? 0 : kWorkerStopTimeoutMs);
  // A worker that is still running (a name lookup that can't be abandoned) is let
  // go; it keeps the event and the network library through its share of the
  // record, and releases them when it ends.
  workerThread.Close();
  if (workerEnded) {
    s.wakeEvent.Close();
    if (s.networkStarted) {
      platform::StopNetwork();
      s.networkStarted = false;
    }
  }
  {
    // Under the lock: a worker that was let go may still look at the queue.
    platform::LockGuard guard(s.queueLock);
    s.talkQueue.clear();
  }
  return true;
}

void CTovaro::RunWorker(Shared& shared) {
  if (!shared.running) return;
  // Waiting on an event that does not exist would return at once, forever.
  if (!shared.wakeEvent.IsOpen()) return;

  for (;;) {
    shared.wakeEvent.Wait();
    // One buffer for the whole pass, resized for each entry.
    std::vector<char> packet;
    for (;;) {
      TalkEntry entry;
      {
        platform::LockGuard guard(shared.queueLock);
        if (!shared.running) break;
        if (shared.talkQueue.empty()) {
          shared.workerWaiting = true;
          break;
        }
        entry = std::move(shared.talkQueue.front());
        shared.talkQueue.pop_front();
      }
      // Delivery happens outside the lock, so no request waits for the server.
      // An entry that can't be built or sent (memory, say) is dropped like one
      // that can't be delivered; the exception must not end the host process.
      try {
        shared.delivery->Deliver(entry, packet, shared.deliveryInterrupt);
      } catch (const std::exception&) {
      }
    }
    if (!shared.running) return;
  }
}

}  // namespace speech
