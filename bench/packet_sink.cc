#include "packet_sink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/network.h"
#include "support/loopback_socket.h"

namespace bench {

using test_support::CloseSocket;
using test_support::kNoSocket;
using test_support::Loopback;
using test_support::SockLen;
using test_support::Socket;

struct PacketSink::Impl {
  void Run();

  bool networkStarted = false;
  Socket listener = kNoSocket;
  std::uint16_t port = 0;
  std::atomic<bool> stopping{false};
  std::thread thread;

  std::mutex mutex;
  std::condition_variable reached;
  std::size_t ended = 0;         // guarded by `mutex`
  std::size_t waitingFor = 0;    // guarded by `mutex`; 0 when nobody waits
  std::size_t receivedBytes = 0;  // guarded by `mutex`
};

void PacketSink::Impl::Run() {
  // Only the connections still open are watched; ended ones are forgotten.
  std::vector<Socket> open;
  char buffer[65536];
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    Socket highest = listener;
    for (Socket s : open) {
      FD_SET(s, &readable);
      highest = std::max(highest, s);
    }
    if (select(static_cast<int>(highest + 1), &readable, nullptr, nullptr, nullptr) < 0) {
      continue;  // a signal; nothing else fails on valid sockets
    }
    if (stopping) {
      for (Socket s : open) CloseSocket(s);
      return;
    }
    std::size_t bytes = 0;
    std::size_t endedNow = 0;
    for (std::size_t i = 0; i < open.size();) {
      if (!FD_ISSET(open[i], &readable)) {
        ++i;
        continue;
      }
      const int n = static_cast<int>(recv(open[i], buffer, sizeof buffer, 0));
      if (n > 0) {
        bytes += static_cast<std::size_t>(n);
        ++i;
        continue;
      }
      CloseSocket(open[i]);
      open[i] = open.back();
      open.pop_back();
      ++endedNow;
    }
    if (FD_ISSET(listener, &readable)) {
      const Socket s = accept(listener, nullptr, nullptr);
      // select() can watch only so many sockets; a benchmark never keeps that many
      // open, so one past the limit is simply dropped.
      if (s != kNoSocket && open.size() + 1 < FD_SETSIZE) {
        open.push_back(s);
      } else if (s != kNoSocket) {
        CloseSocket(s);
      }
    }
    if (bytes != 0 || endedNow != 0) {
      std::lock_guard<std::mutex> lock(mutex);
      receivedBytes += bytes;
      ended += endedNow;
      if (waitingFor != 0 && ended >= waitingFor) reached.notify_all();
    }
  }
}

PacketSink::PacketSink(bool serve) : impl_(std::make_unique<Impl>()) {
  impl_->networkStarted = platform::StartNetwork();
  impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
  if (impl_->listener == kNoSocket) throw std::runtime_error("socket failed");
  sockaddr_in address = Loopback(0);
  SockLen length = sizeof address;
  if (bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      listen(impl_->listener, SOMAXCONN) != 0) {
    CloseSocket(impl_->listener);
    throw std::runtime_error("cannot listen on the loopback interface");
  }
  impl_->port = ntohs(address.sin_port);
  if (serve) Serve();
}

void PacketSink::Serve() {
  if (!impl_->thread.joinable()) impl_->thread = std::thread([this] { impl_->Run(); });
}

PacketSink::~PacketSink() {
  if (impl_->thread.joinable()) {
    // A connection of our own wakes the thread, which then sees the flag.
    impl_->stopping = true;
    const Socket waker = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(impl_->port);
    if (waker != kNoSocket) {
      connect(waker, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    impl_->thread.join();
    if (waker != kNoSocket) CloseSocket(waker);
  }
  CloseSocket(impl_->listener);
  if (impl_->networkStarted) platform::StopNetwork();
}

std::uint16_t PacketSink::port() const { return impl_->port; }

std::size_t PacketSink::WaitForEnded(std::size_t count, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->waitingFor = count;
  impl_->reached.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return impl_->ended >= count; });
  impl_->waitingFor = 0;
  return impl_->ended;
}

std::size_t PacketSink::ReceivedBytes() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->receivedBytes;
}

}  // namespace bench
