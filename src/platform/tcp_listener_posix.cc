// The serving side of TCP on POSIX: non-blocking sockets, and poll() on them
// and on the interrupt's pipe together.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/tcp_listener.h"

namespace platform {
namespace {

bool MakeNonBlocking(int fd) {
  int status = fcntl(fd, F_GETFL, 0);
  int descriptor = fcntl(fd, F_GETFD, 0);
  return status != -1 && descriptor != -1 &&
         fcntl(fd, F_SETFL, status | O_NONBLOCK) == 0 &&
         fcntl(fd, F_SETFD, descriptor | FD_CLOEXEC) == 0;
}

std::string Failed(const char* step) {
  return std::string(step) + " failed: " + std::strerror(errno);
}

}  // namespace

TcpConnection::Received TcpConnection::Receive(char* buffer, std::size_t capacity,
                                               std::size_t* got) {
  *got = 0;
  if (handle_ == -1) return Received::kBroken;
  for (;;) {
    ssize_t n = recv(static_cast<int>(handle_), buffer, capacity, 0);
    if (n > 0) {
      *got = static_cast<std::size_t>(n);
      return Received::kData;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return Received::kClosed;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Received::kNothingYet;
    return Received::kBroken;
  }
}

void TcpConnection::Close() {
  if (handle_ != -1) close(static_cast<int>(handle_));
  handle_ = -1;
}

bool TcpListener::Open(Ipv4Address address, std::uint16_t port, int backlog,
                       int receiveBuffer, std::string* error) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    *error = Failed("socket");
    return false;
  }
  handle_ = fd;
  // Our stand-in servers come and go on fixed ports too; a restart must not
  // wait for the old connections' TIME_WAIT.
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (receiveBuffer > 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = address;
  socklen_t length = sizeof local;
  const char* failed = nullptr;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    failed = "bind";
  } else if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    failed = "getsockname";
  } else if (listen(fd, backlog == kLongestBacklog ? SOMAXCONN : backlog) != 0) {
    failed = "listen";
  } else if (!MakeNonBlocking(fd)) {
    failed = "fcntl";
  }
  if (failed != nullptr) {
    *error = Failed(failed);
    return false;
  }
  port_ = ntohs(local.sin_port);
  return true;
}

TcpListener::Accepted TcpListener::Accept(TcpConnection* connection, std::string* error) {
  for (;;) {
    int fd = accept(static_cast<int>(handle_), nullptr, nullptr);
    if (fd < 0 && errno == EINTR) continue;
    // A connection that was reset while it waited is simply gone.
    if (fd < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED)) {
      return Accepted::kNoneWaiting;
    }
    if (fd < 0 || !MakeNonBlocking(fd)) {
      *error = Failed("accept");
      if (fd >= 0) close(fd);
      return Accepted::kFailed;
    }
    connection->Close();
    connection->handle_ = fd;
    return Accepted::kOne;
  }
}

TcpListener::Woken TcpListener::Wait(bool acceptsToo,
                                     const std::vector<TcpConnection*>& watched,
                                     const Interrupt& interrupt, unsigned timeoutMs) {
  // The interrupt first, then the listener (or a slot poll ignores), then the
  // rest.
  std::vector<pollfd> fds;
  fds.reserve(watched.size() + 2);
  fds.push_back({static_cast<int>(interrupt.SystemHandle()), POLLIN, 0});
  fds.push_back({acceptsToo ? static_cast<int>(handle_) : -1, POLLIN, 0});
  for (const TcpConnection* c : watched) {
    fds.push_back({static_cast<int>(c->handle_), POLLIN, 0});
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int limit = -1;
    if (timeoutMs != kNoLimit) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      limit = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    int n = poll(fds.data(), fds.size(), limit);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Woken::kFailed;
    if (n == 0) return Woken::kTimedOut;
    return fds[0].revents != 0 ? Woken::kInterrupted : Woken::kReady;
  }
}

void TcpListener::Close() {
  if (handle_ != -1) close(static_cast<int>(handle_));
  handle_ = -1;
  port_ = 0;
}

}  // namespace platform
