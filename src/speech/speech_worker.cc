#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "platform/loader.h"
#include "platform/network.h"
#include "speech/talk_delivery.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

using SharedRef = std::shared_ptr<CTovaro::Shared>;

// Counts what became of `entry` and, when it was dropped, keeps why and where it
// was to go. Takes the entry's host without copying it, so nothing is allocated
// under the lock.
void Record(DeliveryReport& report, DropCause outcome, TalkEntry& entry) {
  report.busy = false;
  if (outcome == DropCause::kNone) {
    ++report.delivered;
    return;
  }
  ++report.dropped;
  report.lastCause = outcome;
  report.lastHost.swap(entry.host);
  report.lastPort = entry.port;
}

// What the worker thread starts with; it takes the record over.
struct WorkerStart {
  SharedRef shared;  // the worker's own reference to the shared record
  // load ran inside the system's loader lock, where the network library must not
  // be started: the worker starts it itself, once that lock is free.
  bool startsNetwork;
};

// The worker thread's start routine. The worker owes the network library's stop
// (for the start that load made, or its own): it gives it as it leaves, outside
// any loader lock, whether unload waited for it or let it go. Should its own start
// fail, it runs all the same and every delivery fails, which GetStatus reports.
unsigned WorkerThreadProc(void* argument) {
  std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
  const bool networkStarted = !start->startsNetwork || platform::StartNetwork();
  try {
    CTovaro::RunWorker(*start->shared);
  } catch (...) {
    // Nothing may end the host process; the stop below is owed all the same.
  }
  if (networkStarted) platform::StopNetwork();
  return 0;
}

}  // namespace

bool CTovaro::OnLoad() {
  Shared& s = *shared;
  // Called from another module's DllMain, the network library may not be started
  // here (it may load modules of its own): the worker does it.
  const bool inLoaderLock = platform::HoldsLoaderLock();
  if (!inLoaderLock) {
    if (!platform::StartNetwork()) return true;
    networkOwed = true;
  }

  // Without an event the worker would have nothing to sleep on, and AddQueue
  // would take texts that are never sent: no worker then, so it is refused.
  const bool haveEvent = s.wakeEvent.Create();
  s.deliveryInterrupt.Reset();
  {
    // No worker yet; the lock only keeps the guarded members' rule uniform.
    platform::LockGuard guard(s.queueLock);
    s.talkQueue.clear();
    s.report = DeliveryReport();
    s.queueMax = kDefaultQueueMax;
    // The worker's first step is its wait.
    s.workerWaiting = true;
  }
  if (!haveEvent) return true;
  s.running = true;
  // A thread that fails to start leaves no worker: AddQueue is refused.
  auto workerStart = std::make_unique<WorkerStart>(WorkerStart{shared, inLoaderLock});
  if (workerThread.Start(&WorkerThreadProc, workerStart.get())) {
    static_cast<void>(workerStart.release());  // the worker's now
    networkOwed = false;
  } else {
    s.running = false;
  }
  return true;
}

bool CTovaro::OnUnload() {
  Shared& s = *shared;
  // The worker takes no further entry; the one under way may finish.
  s.running = false;
  s.wakeEvent.Signal();
  // Called inside the loader lock (from another module's DllMain, as it is freed),
  // no wait for the worker could end: the thread can neither begin nor end while
  // that lock is held, and whatever the worker is doing may itself be waiting for
  // it. There the worker is let go at once, stopped, and ends as soon as the lock
  // is free. Anywhere else its thread is waited for, so that once unload has
  // returned nothing of the worker is left in the module.
  const bool mayWait = !platform::HoldsLoaderLock();
  // A worker that is idle, or whose delivery ends in the grace, ends here; the
  // text the server was reading then arrives whole.
  bool workerEnded = mayWait && workerThread.WaitForEnd(kDeliveryGraceMs);
  if (!workerEnded) {
    // Cuts short a delivery blocked on the network. The bound of this wait is the
    // bound of unload: nothing after it waits.
    s.deliveryInterrupt.Trigger();
    workerEnded = workerThread.WaitForEnd(mayWait ? kWorkerStopTimeoutMs : 0);
  }
  // A worker still running (in the loader lock, or a name lookup that can't be
  // abandoned) is let go; it keeps the event through its share of the record.
  workerThread.Close();
  if (workerEnded) s.wakeEvent.Close();
  // Stopping the network library may unload its helper modules, which must not
  // happen inside the loader lock: there it is left started.
  if (networkOwed) {
    if (mayWait) platform::StopNetwork();
    networkOwed = false;
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
    TalkEntry entry;
    // `entry` has been tried, and what became of it is recorded with the next look
    // at the queue, so a delivery takes the lock no more often than before.
    bool tried = false;
    DropCause outcome = DropCause::kNone;
    for (;;) {
      {
        platform::LockGuard guard(shared.queueLock);
        if (tried) Record(shared.report, outcome, entry);
        tried = false;
        if (!shared.running) break;
        if (shared.talkQueue.empty()) {
          shared.workerWaiting = true;
          break;
        }
        entry = std::move(shared.talkQueue.front());
        shared.talkQueue.pop_front();
        shared.report.busy = true;
      }
      // Delivery happens outside the lock, so no request waits for the server.
      // An entry that can't be built or sent (memory, say) is dropped like one
      // that can't be delivered; the exception must not end the host process.
      try {
        outcome = shared.delivery->Deliver(entry, packet, shared.deliveryInterrupt);
      } catch (const std::exception&) {
        outcome = DropCause::kOutOfMemory;
      }
      tried = true;
    }
    if (!shared.running) return;
  }
}

}  // namespace speech
