// The serving side of TCP on Windows: Windows Sockets 2.
//
// The listener reports accepts, arrivals and closes to one event
// (WSAEventSelect, which also makes it non-blocking), and every connection it
// accepts inherits both the event and the non-blocking mode; Wait sleeps on
// that event and the interrupt's together. The event is reset before the caller
// takes what is there, and each accept or recv re-arms its socket's report, so
// nothing that arrives afterwards goes unnoticed.
#include <winsock2.h>

#include <climits>

#include "platform/tcp_listener.h"

namespace platform {
namespace {

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

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
  WSAEVENT readiness = WSACreateEvent();
  if (readiness == WSA_INVALID_EVENT) {
    *error = Failed("WSACreateEvent");
    return false;
  }
  readiness_ = readiness;
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
  } else if (WSAEventSelect(s, readiness_, FD_ACCEPT | FD_READ | FD_CLOSE) != 0) {
    // Also makes the socket, and every connection it accepts, non-blocking.
    failed = "WSAEventSelect";
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
  connection->Close();
  connection->handle_ = static_cast<std::intptr_t>(s);
  return Accepted::kOne;
}

TcpListener::Woken TcpListener::Wait(bool acceptsToo,
                                     const std::vector<TcpConnection*>& watched,
                                     const Interrupt& interrupt, unsigned timeoutMs) {
  // Every socket of ours reports to the one event, so which ones to watch only
  // matters to the caller's next steps.
  static_cast<void>(acceptsToo);
  static_cast<void>(watched);
  if (readiness_ == nullptr) return Woken::kFailed;
  WSAEVENT events[2] = {reinterpret_cast<HANDLE>(interrupt.SystemHandle()), readiness_};
  const DWORD first = interrupt.SystemHandle() != -1 ? 0 : 1;
  const DWORD limit = timeoutMs == kNoLimit ? WSA_INFINITE : timeoutMs;
  const DWORD result =
      WSAWaitForMultipleEvents(2 - first, events + first, FALSE, limit, FALSE);
  if (result == WSA_WAIT_TIMEOUT) return Woken::kTimedOut;
  if (result == WSA_WAIT_FAILED) return Woken::kFailed;
  if (first == 0 && result == WSA_WAIT_EVENT_0) return Woken::kInterrupted;
  WSAResetEvent(readiness_);
  return Woken::kReady;
}

void TcpListener::Close() {
  if (handle_ != -1) closesocket(AsSocket(handle_));
  handle_ = -1;
  if (readiness_ != nullptr) WSACloseEvent(readiness_);
  readiness_ = nullptr;
  port_ = 0;
}

}  // namespace platform
