// A stand-in speech server on 127.0.0.1, on the platform layer's listener. One
// background thread waits on the listener, the open connections and an
// interrupt that the destructor triggers.
#include "support/talk_listener.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/network.h"
#include "platform/tcp_listener.h"

namespace test_support {
namespace {

using platform::TcpConnection;
using platform::TcpListener;

platform::Ipv4Address Loopback() { return platform::ParseIpv4Address("127.0.0.1"); }

// How long a loopback connect may take before it counts as blocked by a full
// accept queue. Loopback handshakes take microseconds; this is generous for a
// loaded host.
constexpr auto kConnectSettle = std::chrono::milliseconds(500);
constexpr int kMaxQueueFillers = 64;
// Accepted connections of kAcceptNeverRead get a small receive window so that a
// client's large send fills the path quickly and blocks.
constexpr int kSmallReceiveBuffer = 4096;

// One client connect to the listener on `port`, given up after kConnectSettle.
// True when it completed; the client then stays connected.
bool ConnectsPromptly(platform::TcpClient& client, std::uint16_t port) {
  platform::Interrupt giveUp;
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  bool connected = false;
  std::thread connecting([&] {
    const bool ok = client.Connect(Loopback(), port, giveUp) == platform::NetStatus::kOk;
    std::lock_guard<std::mutex> lock(mutex);
    connected = ok;
    done = true;
    changed.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    if (!changed.wait_for(lock, kConnectSettle, [&] { return done; })) giveUp.Trigger();
  }
  connecting.join();
  return connected;
}

}  // namespace

struct TalkListener::Impl {
  struct Record {
    std::string bytes;
    bool ended = false;
  };
  struct Open {
    TcpConnection connection;
    std::size_t record;  // index into `records` (kRecord only)
  };

  explicit Impl(Mode m) : mode(m) {}

  void Run();
  void AcceptAll();
  // Takes what every open connection has; forgets those that ended.
  void ReceiveAll();
  void FillAcceptQueue();
  // Wakes a waiter whose count is reached. Called with `mutex` held.
  void NotifyReached();
  void Stop();

  Mode mode;
  bool networkStarted = false;
  TcpListener listener;
  platform::Interrupt stop;
  std::thread thread;
  // Used by the thread only once it runs.
  std::vector<Open> open;
  std::vector<TcpConnection> held;                            // kAcceptNeverRead
  std::vector<std::unique_ptr<platform::TcpClient>> fillers;  // kNeverAccept
  char buffer[65536];

  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by `mutex`. Waiters say what they wait for (0: nobody), so that
  // only the connection that reaches it wakes them.
  std::vector<Record> records;  // every connection of kRecord, in accept order
  std::size_t accepted = 0;
  std::size_t ended = 0;
  std::size_t receivedBytes = 0;
  std::size_t acceptedWanted = 0;
  std::size_t endedWanted = 0;
};

void TalkListener::Impl::NotifyReached() {
  if ((acceptedWanted != 0 && accepted >= acceptedWanted) ||
      (endedWanted != 0 && ended >= endedWanted)) {
    changed.notify_all();
  }
}

void TalkListener::Impl::AcceptAll() {
  TcpConnection connection;
  std::string error;
  while (listener.Accept(&connection, &error) == TcpListener::Accepted::kOne) {
    std::lock_guard<std::mutex> lock(mutex);
    switch (mode) {
      case Mode::kRecord:
        records.emplace_back();
        open.push_back(Open{std::move(connection), records.size() - 1});
        break;
      case Mode::kCount:
        open.push_back(Open{std::move(connection), 0});
        break;
      case Mode::kAcceptNeverRead:
        held.push_back(std::move(connection));
        break;
      case Mode::kCloseAtOnce:
      case Mode::kNeverAccept:
        connection.Close();
        break;
    }
    ++accepted;
    NotifyReached();
  }
}

void TalkListener::Impl::ReceiveAll() {
  for (std::size_t i = 0; i < open.size();) {
    std::size_t got = 0;
    TcpConnection::Received received =
        open[i].connection.Receive(buffer, sizeof buffer, &got);
    if (received == TcpConnection::Received::kNothingYet) {
      ++i;
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (received == TcpConnection::Received::kData) {
      receivedBytes += got;
      if (mode == Mode::kRecord) records[open[i].record].bytes.append(buffer, got);
      continue;  // there may be more
    }
    // The peer closed, or reset the connection: either way it has ended.
    if (mode == Mode::kRecord) records[open[i].record].ended = true;
    ++ended;
    NotifyReached();
    open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void TalkListener::Impl::Run() {
  std::vector<TcpConnection*> watched;
  for (;;) {
    watched.clear();
    for (Open& o : open) watched.push_back(&o.connection);
    TcpListener::Woken woken =
        listener.Wait(mode != Mode::kNeverAccept, watched, stop, TcpListener::kNoLimit);
    if (woken != TcpListener::Woken::kReady) return;
    if (mode != Mode::kNeverAccept) AcceptAll();
    ReceiveAll();
  }
}

void TalkListener::Impl::FillAcceptQueue() {
  // With a backlog of 0 the queue takes one or a few connections; once it is
  // full the system drops further handshakes (or refuses them), and their
  // connect waits.
  for (int i = 0; i < kMaxQueueFillers; ++i) {
    auto client = std::make_unique<platform::TcpClient>();
    if (!client->Open(stop)) throw std::runtime_error("socket failed");
    if (!ConnectsPromptly(*client, listener.port())) return;
    fillers.push_back(std::move(client));
  }
  throw std::runtime_error("the accept queue did not fill");
}

void TalkListener::Impl::Stop() {
  if (thread.joinable()) {
    stop.Trigger();
    thread.join();
  }
  open.clear();
  held.clear();
  fillers.clear();
  listener.Close();
  if (networkStarted) platform::StopNetwork();
}

TalkListener::TalkListener(Mode mode, std::uint16_t port)
    : impl_(std::make_unique<Impl>(mode)) {
  try {
    impl_->networkStarted = true;
    if (!platform::StartNetwork()) throw std::runtime_error("the network did not start");
    const int backlog = mode == Mode::kNeverAccept ? 0 : TcpListener::kLongestBacklog;
    const int receiveBuffer = mode == Mode::kAcceptNeverRead ? kSmallReceiveBuffer : 0;
    std::string error;
    if (!impl_->listener.Listen(Loopback(), port, backlog, receiveBuffer, &error)) {
      throw std::runtime_error("cannot listen on 127.0.0.1: " + error);
    }
    if (mode == Mode::kNeverAccept) impl_->FillAcceptQueue();
    impl_->thread = std::thread([this] { impl_->Run(); });
  } catch (...) {
    impl_->Stop();
    throw;
  }
}

TalkListener::~TalkListener() { impl_->Stop(); }

std::uint16_t TalkListener::port() const { return impl_->listener.port(); }

std::vector<std::string> TalkListener::Packets() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> packets;
  for (const Impl::Record& r : impl_->records) {
    if (r.ended) packets.push_back(r.bytes);
  }
  return packets;
}

std::vector<std::string> TalkListener::WaitForPackets(std::size_t count,
                                                      unsigned timeoutMs) {
  WaitForEnded(count, timeoutMs);
  return Packets();
}

std::size_t TalkListener::WaitForEnded(std::size_t count, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->endedWanted = count;
  impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return impl_->ended >= count; });
  impl_->endedWanted = 0;
  return impl_->ended;
}

std::size_t TalkListener::ReceivedBytes() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->receivedBytes;
}

std::size_t TalkListener::AcceptedCount() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->accepted;
}

std::size_t TalkListener::WaitForAccepted(std::size_t count, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->acceptedWanted = count;
  impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return impl_->accepted >= count; });
  impl_->acceptedWanted = 0;
  return impl_->accepted;
}

std::uint16_t UnusedPort() {
  const bool started = platform::StartNetwork();
  TcpListener probe;
  std::string error;
  const bool listening = started && probe.Listen(Loopback(), 0, 1, 0, &error);
  const std::uint16_t port = probe.port();
  probe.Close();
  platform::StopNetwork();
  if (!listening) throw std::runtime_error("no free port: " + error);
  return port;
}

}  // namespace test_support
