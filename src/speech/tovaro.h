// CTovaro, the plug-in: queue commands for scripts and a worker thread that sends
// each queued utterance to the speech server.
//
// Owned by the module (one instance per process). The host's thread calls every
// virtual operation; the worker thread runs RunWorker. What the worker uses lives
// in a Shared record that the instance and the worker hold together, so that a
// worker still running when unload gives up waiting never touches freed memory.
// The talk queue is guarded by `queueLock`, which either side holds only for the
// queue operation itself, never during network I/O. The queue maximum and the
// thread are written on the host's thread only; the worker reads `running`
// without the lock. The delivery report is written by the worker (and ClearQueue)
// and copied by GetStatus, both under the queue lock. The worker is woken only when it waits: it marks itself
// waiting under the lock when it finds the queue empty, and an append signals the
// wake event only when it takes that mark.
#ifndef TOVARO_SPEECH_TOVARO_H_
#define TOVARO_SPEECH_TOVARO_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

#include "platform/event.h"
#include "platform/lock.h"
#include "platform/network.h"
#include "platform/thread.h"
#include "platform/thread_annotations.h"
#include "saori/saori_base.h"
#include "speech/delivery_report.h"
#include "speech/talk_delivery.h"
#include "speech/talk_entry.h"

namespace speech {

// How long OnUnload waits for the worker; the whole of unload's bound. A worker
// that is not done by then is let go and finishes on its own.
constexpr unsigned kWorkerStopTimeoutMs = 60000;
// How long a delivery under way at unload may go on before it is cut short, so
// that a text the server is reading arrives. Part of the bound above.
constexpr unsigned kDeliveryGraceMs = 100;
constexpr std::uint16_t kDefaultQueueMax = 255;

class CTovaro : public saori::CSAORI {
 public:
  // What the worker thread uses. The worker's reference keeps it alive until the
  // worker ends; the last holder releases it.
  struct Shared {
    platform::Lock queueLock;
    std::atomic<bool> running{false};
    std::deque<TalkEntry> talkQueue TOVARO_GUARDED_BY(queueLock);
    std::uint16_t queueMax TOVARO_GUARDED_BY(queueLock) = 0;
    // Set by the worker when it found the queue empty and is about to wait (and
    // before it starts); cleared by the append that signals it. A signal that comes
    // before the worker's wait stays with the event, so no wake-up is lost; while
    // the worker drains, appends leave the event alone, since the worker takes what
    // they add before it waits again.
    bool workerWaiting TOVARO_GUARDED_BY(queueLock) = false;
    // What became of the texts since load.
    DeliveryReport report TOVARO_GUARDED_BY(queueLock);
    platform::AutoResetEvent wakeEvent;
    // Wakes a worker blocked in a delivery when the instance is unloaded.
    platform::Interrupt deliveryInterrupt;
    // How entries reach the speech server; set at construction, never null.
    std::shared_ptr<TalkDelivery> delivery;
  };

  // Delivers over TCP. Exhausted memory throws.
  CTovaro();
  // Delivers through `delivery` (a test's stand-in server). REQUIRES: not null.
  explicit CTovaro(std::shared_ptr<TalkDelivery> delivery);
  // Discards waiting entries. REQUIRES: OnUnload has run (or OnLoad never did).
  ~CTovaro() override;

  // Dispatches on Argument0 (AddQueue, ClearQueue, SetQueueMax, GetStatus, no
  // case) and reports the queue length as Result and the queue maximum as Value0;
  // GetStatus adds the delivery report (delivery_report.h) after them.
  void Execute(saori::CSAORIRequest& request, saori::CSAORIResponse& response) override;

  // Starts the network library and the worker; always true. No worker starts when
  // the network library, the wake event or the thread can't be had, and AddQueue
  // is refused then. Inside the system's loader lock the worker starts the network
  // library itself. A worker stops the network library itself as it ends.
  bool OnLoad() override;
  // Stops the worker and waits at most kWorkerStopTimeoutMs for its thread to end:
  // a delivery under way has kDeliveryGraceMs to finish and is then cut short.
  // Inside the system's loader lock, where the thread can't end, it waits not at
  // all and cuts the delivery short at once. A worker not ended is let go and
  // finishes on its own. Closes the handles, discards the queue; always true.
  bool OnUnload() override;

  // The queue commands; each sets the response's status.
  virtual void AddQueue(saori::CSAORIRequest& request, saori::CSAORIResponse& response);
  virtual void ClearQueue(saori::CSAORIRequest& request, saori::CSAORIResponse& response);
  virtual void SetQueueMax(saori::CSAORIRequest& request,
                           saori::CSAORIResponse& response);

  // The worker loop; returns when `running` is found clear. Worker thread only.
  static void RunWorker(Shared& shared);

  // Snapshot of the queue for the dispatcher and tests. Takes the queue lock.
  std::size_t QueueLength() TOVARO_EXCLUDES(shared->queueLock);
  std::uint16_t QueueMax() TOVARO_EXCLUDES(shared->queueLock);
  DeliveryReport Report() TOVARO_EXCLUDES(shared->queueLock);

 private:
  std::shared_ptr<Shared> shared;  // never null
  platform::Thread workerThread;
  // The network library started and no worker took over stopping it.
  bool networkOwed = false;
};

}  // namespace speech

#endif  // TOVARO_SPEECH_TOVARO_H_
