// The serving side of TCP on Windows: Windows Sockets 2, non-blocking sockets and
// select().
//
// select() tells what is ready now, whatever happened before, so nothing that
// arrived is missed; events that sockets report to (WSAEventSelect) are edge
// signals, and under Wine some were lost when many connections came at once.
// select() can't wait on the interrupt's event, so Wait looks at the interrupt
// between short slices.
//
// Windows lets a program choose how many sockets select() takes; more than a
// server of ours keeps open.
#define FD_SETSIZE 1024
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "platform/tcp_listener.h"

namespace platform {
namespace {

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

// How long Wait may miss the interrupt while it watches sockets.
constexpr unsigned kSliceMs = 5;

bool MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}

std::string Failed(const char* step) {
  return std::string(step) + " failed: error " + std::to_string(WSAGetLastError());
}

}  // namespace

TcpConnection::Received TcpConnection::Receive(char* buffer, std::size_t capacity,
                                               std::size_t* got) {
  *got = 0;
  if (handle_ == -1) return Received::kBroken;
  const int chunk =
      capacity > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(capacity);
  const int n = recv(AsSocket(handle_), buffer, chunk, 0);
  if (n > 0) {
    *got = static_cast<std::size_t>(n);
    return Received::kData;
  }
  if (n == 0) return Received::kClosed;
  if (WSAGetLastError() == WSAEWOULDBLOCK) return Received::kNothingYet;
  return Received::kBroken;
}

void TcpConnection::Close() {
  if (handle_ != -1) closesocket(AsSocket(handle_));
  handle_ = -1;
}

bool TcpListener::Open(Ipv4Address address, std::uint16_t port, int backlog,
                       int receiveBuffer, std::string* error) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    *error = Failed("socket");
    return false;
  }
  handle_ = static_cast<std::intptr_t>(s);
  // No SO_REUSEADDR: on Windows it would let another program take the port.
  if (receiveBuffer > 0) {
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
               sizeof receiveBuffer);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = address;
  int length = sizeof local;
  const char* failed = nullptr;
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    failed = "bind";
  } else if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    failed = "getsockname";
  } else if (listen(s, backlog == kLongestBacklog ? SOMAXCONN : backlog) != 0) {
    failed = "listen";
  } else if (!MakeNonBlocking(s)) {
    failed = "ioctlsocket";
  }
  if (failed != nullptr) {
    *error = Failed(failed);
    return false;
  }
  port_ = ntohs(local.sin_port);
  return true;
}

TcpListener::Accepted TcpListener::Accept(TcpConnection* connection, std::string* error) {
  SOCKET s = accept(AsSocket(handle_), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    // A connection that was reset while it waited is simply gone.
    if (code == WSAEWOULDBLOCK || code == WSAECONNRESET) return Accepted::kNoneWaiting;
    *error = Failed("accept");
    return Accepted::kFailed;
  }
  if (!MakeNonBlocking(s)) {
    *error = Failed("ioctlsocket");
    closesocket(s);
    return Accepted::kFailed;
  }
  connection->Close();
  connection->handle_ = static_cast<std::intptr_t>(s);
  return Accepted::kOne;
}

TcpListener::Woken TcpListener::Wait(bool acceptsToo,
                                     const std::vector<TcpConnection*>& watched,
                                     const Interrupt& interrupt, unsigned timeoutMs) {
  const HANDLE interruptEvent = reinterpret_cast<HANDLE>(interrupt.SystemHandle());
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (interrupt.IsTriggered()) return Woken::kInterrupted;
    unsigned slice = kSliceMs;
    if (timeoutMs != kNoLimit) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return Woken::kTimedOut;
      slice = std::min<unsigned>(slice, static_cast<unsigned>(left.count()));
    }
    fd_set readable;
    FD_ZERO(&readable);
    if (acceptsToo) FD_SET(AsSocket(handle_), &readable);
    // Connections beyond the set's room are still read by the caller's next pass.
    for (const TcpConnection* c : watched) {
      if (readable.fd_count < FD_SETSIZE) FD_SET(AsSocket(c->handle_), &readable);
    }
    if (readable.fd_count == 0) {
      // Nothing to watch but the interrupt (select() refuses empty sets).
      const DWORD limit = timeoutMs == kNoLimit ? INFINITE : slice;
      if (interrupt.SystemHandle() != -1) {
        WaitForSingleObject(interruptEvent, limit);
      } else {
        Sleep(slice);
      }
      continue;
    }
    timeval limit{0, static_cast<long>(slice) * 1000};
    const int ready = select(0, &readable, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) return Woken::kFailed;
    if (ready > 0) return interrupt.IsTriggered() ? Woken::kInterrupted : Woken::kReady;
  }
}

void TcpListener::Close() {
  if (handle_ != -1) closesocket(AsSocket(handle_));
  handle_ = -1;
  port_ = 0;
}

}  // namespace platform
