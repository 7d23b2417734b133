// A stand-in speech server on 127.0.0.1. One background thread waits with select()
// on the listening socket, the open connections and a loopback UDP socket that the
// destructor writes to, so the thread sleeps until there is something to do.
#include "support/talk_listener.h"

#include "support/loopback_socket.h"

#if !defined(_WIN32)
#include <cerrno>
#include <fcntl.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

namespace test_support {
namespace {

#if defined(_WIN32)
bool Interrupted() { return false; }
bool SetNonBlocking(Socket s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}
bool ConnectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
bool Interrupted() { return errno == EINTR; }
bool SetNonBlocking(Socket s) {
  int flags = fcntl(s, F_GETFL, 0);
  return flags != -1 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
bool ConnectPending() { return errno == EINPROGRESS; }
#endif

// Windows Sockets must be started by every user; the counts nest.
class NetworkUse {
 public:
  NetworkUse() {
#if defined(_WIN32)
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      throw std::runtime_error("WSAStartup failed");
    }
#endif
  }
  ~NetworkUse() {
#if defined(_WIN32)
    WSACleanup();
#endif
  }
  NetworkUse(const NetworkUse&) = delete;
  NetworkUse& operator=(const NetworkUse&) = delete;
};

// Binds `s` to 127.0.0.1 on a port of the system's choice; returns the port.
std::uint16_t BindLoopback(Socket s) {
  sockaddr_in address = Loopback(0);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("bind failed");
  }
  SockLen length = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("getsockname failed");
  }
  return ntohs(address.sin_port);
}

// Waits up to `timeoutMs` for a non-blocking connect to complete. True when it
// completed successfully.
bool ConnectCompletes(Socket s, unsigned timeoutMs) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{};
  limit.tv_sec = static_cast<long>(timeoutMs / 1000);
  limit.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
  int ready = select(static_cast<int>(s + 1), nullptr, &writable, &failed, &limit);
  if (ready <= 0 || FD_ISSET(s, &failed)) return false;
  int error = 0;
  SockLen length = sizeof error;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  return error == 0;
}

// How long a loopback connect may take before it counts as blocked by a full accept
// queue. Loopback handshakes take microseconds; this is generous for a loaded host.
constexpr unsigned kConnectSettleMs = 500;
constexpr int kMaxQueueFillers = 64;
// Accepted connections of kAcceptNeverRead get a small receive window so that a
// client's large send fills the path quickly and blocks.
constexpr int kSmallReceiveBuffer = 4096;

}  // namespace

struct TalkListener::Impl {
  struct Connection {
    Socket socket;
    std::string bytes;
    bool ended = false;
  };

  explicit Impl(Mode m) : mode(m) {}

  void Run();
  void Accept();
  // Reads what `connection` has; false once it has ended.
  bool Read(Connection& connection);
  void FillAcceptQueue();
  void Stop();

  NetworkUse network;
  Mode mode;
  Socket listener = kNoSocket;
  Socket wake = kNoSocket;  // UDP, bound to loopback; a datagram to it stops Run
  std::uint16_t listenPort = 0;
  std::uint16_t wakePort = 0;
  std::vector<Socket> fillers;  // our own clients that keep the accept queue full
  std::vector<Socket> held;     // accepted and never read (kAcceptNeverRead)
  std::thread thread;

  std::mutex mutex;
  std::condition_variable changed;
  // Every connection of kRecord, in accept order. Guarded by `mutex`; the socket
  // field is used by the thread only.
  std::vector<Connection> connections;
  std::size_t accepted = 0;  // guarded by `mutex`
};

void TalkListener::Impl::Accept() {
  Socket s = accept(listener, nullptr, nullptr);
  if (s == kNoSocket) return;
  std::lock_guard<std::mutex> lock(mutex);
  switch (mode) {
    case Mode::kRecord:
      connections.push_back(Connection{s, std::string(), false});
      break;
    case Mode::kAcceptNeverRead:
      held.push_back(s);
      break;
    case Mode::kCloseAtOnce:
    case Mode::kNeverAccept:
      CloseSocket(s);
      break;
  }
  ++accepted;
  changed.notify_all();
}

bool TalkListener::Impl::Read(Connection& connection) {
  char buffer[65536];
  int n = static_cast<int>(recv(connection.socket, buffer, sizeof buffer, 0));
  if (n < 0 && Interrupted()) return true;
  std::lock_guard<std::mutex> lock(mutex);
  if (n > 0) {
    connection.bytes.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  // The peer closed, or reset the connection: either way it has ended.
  CloseSocket(connection.socket);
  connection.socket = kNoSocket;
  connection.ended = true;
  changed.notify_all();
  return false;
}

void TalkListener::Impl::Run() {
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    Socket highest = wake;
    FD_SET(wake, &readable);
    if (mode != Mode::kNeverAccept) {
      FD_SET(listener, &readable);
      highest = std::max(highest, listener);
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      for (const Connection& c : connections) {
        if (c.ended) continue;
        FD_SET(c.socket, &readable);
        highest = std::max(highest, c.socket);
      }
    }
    int ready = select(static_cast<int>(highest + 1), &readable, nullptr, nullptr,
                       nullptr);
    if (ready < 0) {
      if (Interrupted()) continue;
      return;
    }
    if (FD_ISSET(wake, &readable)) return;
    if (mode != Mode::kNeverAccept && FD_ISSET(listener, &readable)) Accept();
    // Only this thread adds connections, so indexes stay valid without the lock;
    // the lock is taken in Read for the fields the test's thread reads.
    std::size_t count;
    {
      std::lock_guard<std::mutex> lock(mutex);
      count = connections.size();
    }
    for (std::size_t i = 0; i < count; ++i) {
      Connection* c;
      {
        std::lock_guard<std::mutex> lock(mutex);
        c = &connections[i];
        if (c->ended || !FD_ISSET(c->socket, &readable)) continue;
      }
      Read(*c);
    }
  }
}

void TalkListener::Impl::FillAcceptQueue() {
  // With a backlog of 0 the queue takes one or a few connections; once it is full
  // the system drops further handshakes, and their connect waits.
  for (int i = 0; i < kMaxQueueFillers; ++i) {
    Socket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSocket) throw std::runtime_error("socket failed");
    if (!SetNonBlocking(s)) {
      CloseSocket(s);
      throw std::runtime_error("non-blocking mode failed");
    }
    sockaddr_in address = Loopback(listenPort);
    int result = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    bool completed = result == 0 || (ConnectPending() && ConnectCompletes(s, kConnectSettleMs));
    if (!completed) {
      CloseSocket(s);
      return;
    }
    fillers.push_back(s);
  }
  throw std::runtime_error("the accept queue did not fill");
}

void TalkListener::Impl::Stop() {
  if (thread.joinable()) {
    sockaddr_in address = Loopback(wakePort);
    char byte = 0;
    sendto(wake, &byte, 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    thread.join();
  }
  for (Connection& c : connections) {
    if (!c.ended) CloseSocket(c.socket);
  }
  for (Socket s : held) CloseSocket(s);
  for (Socket s : fillers) CloseSocket(s);
  if (listener != kNoSocket) CloseSocket(listener);
  if (wake != kNoSocket) CloseSocket(wake);
}

TalkListener::TalkListener(Mode mode) : impl_(std::make_unique<Impl>(mode)) {
  try {
    impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
    impl_->wake = socket(AF_INET, SOCK_DGRAM, 0);
    if (impl_->listener == kNoSocket || impl_->wake == kNoSocket) {
      throw std::runtime_error("socket failed");
    }
    if (mode == Mode::kAcceptNeverRead) {
      int size = kSmallReceiveBuffer;
      setsockopt(impl_->listener, SOL_SOCKET, SO_RCVBUF,
                 reinterpret_cast<const char*>(&size), sizeof size);
    }
    impl_->listenPort = BindLoopback(impl_->listener);
    impl_->wakePort = BindLoopback(impl_->wake);
    int backlog = mode == Mode::kNeverAccept ? 0 : SOMAXCONN;
    if (listen(impl_->listener, backlog) != 0) {
      throw std::runtime_error("listen failed");
    }
    if (mode == Mode::kNeverAccept) impl_->FillAcceptQueue();
    impl_->thread = std::thread([this] { impl_->Run(); });
  } catch (...) {
    impl_->Stop();
    throw;
  }
}

TalkListener::~TalkListener() { impl_->Stop(); }

std::uint16_t TalkListener::port() const { return impl_->listenPort; }

std::vector<std::string> TalkListener::Packets() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> packets;
  for (const Impl::Connection& c : impl_->connections) {
    if (c.ended) packets.push_back(c.bytes);
  }
  return packets;
}

std::vector<std::string> TalkListener::WaitForPackets(std::size_t count,
                                                      unsigned timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      return static_cast<std::size_t>(
                 std::count_if(impl_->connections.begin(), impl_->connections.end(),
                               [](const Impl::Connection& c) { return c.ended; })) >=
             count;
    });
  }
  return Packets();
}

std::size_t TalkListener::AcceptedCount() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->accepted;
}

std::size_t TalkListener::WaitForAccepted(std::size_t count, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return impl_->accepted >= count; });
  return impl_->accepted;
}

std::uint16_t UnusedPort() {
  NetworkUse network;
  Socket s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) throw std::runtime_error("socket failed");
  std::uint16_t port = 0;
  try {
    port = BindLoopback(s);
  } catch (...) {
    CloseSocket(s);
    throw;
  }
  CloseSocket(s);
  return port;
}

}  // namespace test_support
