// Delivery sockets on POSIX.
//
// The socket is non-blocking underneath so that connect and send can wait with
// poll() on the socket and the interrupt's pipe together; to the caller they still
// behave as blocking calls without time-outs of our own (the system bounds a
// connect by its handshake retries). Name resolution runs asynchronously in the C
// library where it can (glibc's getaddrinfo_a) and is waited for in short slices
// that look at the interrupt.
#include "platform/network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace platform {
namespace {

#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on the socket instead
#endif

// How often a pending name resolution looks at the interrupt.
constexpr long kResolveSliceNs = 20L * 1000 * 1000;

bool SetFlags(int fd, int statusFlags) {
  int status = fcntl(fd, F_GETFL, 0);
  int descriptor = fcntl(fd, F_GETFD, 0);
  return status != -1 && descriptor != -1 &&
         fcntl(fd, F_SETFL, status | statusFlags) == 0 &&
         fcntl(fd, F_SETFD, descriptor | FD_CLOEXEC) == 0;
}

// The one place a system error becomes ours.
NetStatus FromErrno(int error) {
  switch (error) {
    case ECONNREFUSED: return NetStatus::kRefused;
    case ETIMEDOUT: return NetStatus::kTimedOut;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENETDOWN: return NetStatus::kUnreachable;
    case ECONNRESET:
    case EPIPE: return NetStatus::kPeerFailed;
    default: return NetStatus::kFailed;
  }
}

enum class Ready { kSocket, kInterrupted, kFailed };

// Waits, without a limit, until `fd` is ready for `events` or the interrupt fires.
// The socket wins when both are ready, so what can be done without waiting is done.
Ready WaitFor(int fd, short events, int interruptFd) {
  pollfd fds[2] = {{fd, events, 0}, {interruptFd, POLLIN, 0}};
  for (;;) {
    // A negative descriptor (no interrupt pipe) is ignored by poll.
    int n = poll(fds, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Ready::kFailed;
    }
    if (fds[0].revents != 0) return Ready::kSocket;
    if (fds[1].revents != 0) return Ready::kInterrupted;
  }
}

}  // namespace

bool StartNetwork() { return true; }

void StopNetwork() {}

// A self-pipe: Trigger writes a byte, so the read end becomes readable until Reset
// drains it. If the pipe can't be created, deliveries are simply not interruptible.
struct Interrupt::Impl {
  int readEnd = -1;
  int writeEnd = -1;
};

Interrupt::Interrupt() : impl_(std::make_unique<Impl>()) {
  int fds[2];
  if (pipe(fds) != 0) return;
  if (!SetFlags(fds[0], O_NONBLOCK) || !SetFlags(fds[1], O_NONBLOCK)) {
    close(fds[0]);
    close(fds[1]);
    return;
  }
  impl_->readEnd = fds[0];
  impl_->writeEnd = fds[1];
}

Interrupt::~Interrupt() {
  if (impl_->readEnd != -1) close(impl_->readEnd);
  if (impl_->writeEnd != -1) close(impl_->writeEnd);
}

void Interrupt::Trigger() {
  if (impl_->writeEnd == -1) return;
  const char byte = 1;
  // A full pipe (EAGAIN) is readable already.
  while (write(impl_->writeEnd, &byte, 1) < 0 && errno == EINTR) {
  }
}

void Interrupt::Reset() {
  if (impl_->readEnd == -1) return;
  char buffer[64];
  for (;;) {
    ssize_t n = read(impl_->readEnd, buffer, sizeof buffer);
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    break;  // empty (EAGAIN)
  }
}

bool Interrupt::IsTriggered() const {
  if (impl_->readEnd == -1) return false;
  pollfd fd = {impl_->readEnd, POLLIN, 0};
  int n;
  do {
    n = poll(&fd, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0;
}

// No call of this layer needs a lock that an owner of the interrupt could hold.
std::intptr_t Interrupt::SystemHandle() const { return impl_->readEnd; }

Ipv4Address ParseIpv4Address(const char* host) {
  if (host == nullptr) return kNoAddress;
  return inet_addr(host);
}

namespace {

// The first IPv4 address of a lookup's result. A name that has addresses, but none
// of them IPv4, is told apart from one that has none, so that the script learns
// why its text went nowhere.
NetStatus FirstIpv4(int error, const addrinfo* list, Ipv4Address* address) {
  if (error != 0) return NetStatus::kNameNotFound;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      *address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      return NetStatus::kOk;
    }
  }
  return list != nullptr ? NetStatus::kNoIpv4Address : NetStatus::kNameNotFound;
}

// Every family, so that a name with only IPv6 addresses is seen as one; only an
// IPv4 address is ever used.
addrinfo LookupHints() {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  return hints;
}

}  // namespace

// ThreadSanitizer does not see the helper threads that getaddrinfo_a starts inside
// the C library, and they crash in its allocator; its builds take the plain lookup.
#if defined(__SANITIZE_THREAD__)
#define TOVARO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TOVARO_THREAD_SANITIZER 1
#endif
#endif

#if defined(__GLIBC__) && !defined(TOVARO_THREAD_SANITIZER)

namespace {

// One asynchronous lookup. It must stay in place until the C library's helper
// thread is done with it; a lookup abandoned on interrupt that could not be
// cancelled is therefore left allocated (a few bytes, once per unload at most).
struct PendingLookup {
  std::string name;
  addrinfo hints = LookupHints();
  gaicb request{};
};

}  // namespace

NetStatus ResolveIpv4Address(const char* host, const Interrupt& interrupt,
                             Ipv4Address* address) {
  if (interrupt.IsTriggered()) return NetStatus::kInterrupted;
  if (host == nullptr) return NetStatus::kNameNotFound;
  auto lookup = std::make_unique<PendingLookup>();
  lookup->name = host;
  lookup->request.ar_name = lookup->name.c_str();
  lookup->request.ar_request = &lookup->hints;
  gaicb* list[1] = {&lookup->request};
  // No notification: nothing of ours runs on the library's threads.
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return NetStatus::kFailed;
  bool interrupted = false;
  while (gai_error(&lookup->request) == EAI_INPROGRESS) {
    if (interrupt.IsTriggered()) {
      if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) {
        static_cast<void>(lookup.release());  // still in the library's hands
        return NetStatus::kInterrupted;
      }
      interrupted = true;  // cancelled, or done meanwhile
      break;
    }
    timespec slice = {0, kResolveSliceNs};
    gai_suspend(list, 1, &slice);
  }
  NetStatus status = NetStatus::kInterrupted;
  if (!interrupted) {
    status = FirstIpv4(gai_error(&lookup->request), lookup->request.ar_result, address);
  }
  if (lookup->request.ar_result != nullptr) freeaddrinfo(lookup->request.ar_result);
  return status;
}

#else

// Other C libraries offer no asynchronous lookup: this one is not interruptible.
NetStatus ResolveIpv4Address(const char* host, const Interrupt& interrupt,
                             Ipv4Address* address) {
  if (interrupt.IsTriggered()) return NetStatus::kInterrupted;
  if (host == nullptr) return NetStatus::kNameNotFound;
  addrinfo hints = LookupHints();
  addrinfo* result = nullptr;
  const int error = getaddrinfo(host, nullptr, &hints, &result);
  const NetStatus status = FirstIpv4(error, error == 0 ? result : nullptr, address);
  if (error == 0) freeaddrinfo(result);
  return status;
}

#endif

TcpClient::~TcpClient() { Close(); }

bool TcpClient::Open(const Interrupt& interrupt) {
  Close();
  if (interrupt.IsTriggered()) return false;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  if (!SetFlags(fd, O_NONBLOCK)) {
    close(fd);
    return false;
  }
#if !defined(MSG_NOSIGNAL) && defined(SO_NOSIGPIPE)
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
  handle_ = fd;
  return true;
}

NetStatus TcpClient::Connect(Ipv4Address address, std::uint16_t port,
                             const Interrupt& interrupt) {
  if (handle_ < 0) return NetStatus::kFailed;
  // Not begun once the interrupt has fired: no connection is made for nothing.
  if (interrupt.IsTriggered()) return NetStatus::kInterrupted;
  int fd = static_cast<int>(handle_);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
    return NetStatus::kOk;
  }
  // After EINTR a non-blocking connect goes on in the background, like EINPROGRESS.
  if (errno != EINPROGRESS && errno != EINTR) return FromErrno(errno);
  switch (WaitFor(fd, POLLOUT, interrupt.impl_->readEnd)) {
    case Ready::kSocket: break;
    case Ready::kInterrupted: return NetStatus::kInterrupted;
    case Ready::kFailed: return NetStatus::kFailed;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return NetStatus::kFailed;
  return error == 0 ? NetStatus::kOk : FromErrno(error);
}

NetStatus TcpClient::Send(const char* data, std::size_t size,
                          const Interrupt& interrupt) {
  if (handle_ < 0) return NetStatus::kFailed;
  int fd = static_cast<int>(handle_);
  while (size > 0) {
    ssize_t n = send(fd, data, size, kSendFlags);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // An error or hang-up also wakes the wait; the next send reports it.
      switch (WaitFor(fd, POLLOUT, interrupt.impl_->readEnd)) {
        case Ready::kSocket: continue;
        case Ready::kInterrupted: return NetStatus::kInterrupted;
        case Ready::kFailed: return NetStatus::kFailed;
      }
    }
    // The peer failed (reset, closed): the rest can't be delivered.
    return n < 0 ? FromErrno(errno) : NetStatus::kFailed;
  }
  return NetStatus::kOk;
}

void TcpClient::Close() {
  readiness_ = nullptr;  // poll needs no event: it waits on the descriptor itself
  if (handle_ < 0) return;
  close(static_cast<int>(handle_));
  handle_ = -1;
}

void TcpClient::Abort() {
  if (handle_ >= 0) {
    // A linger time of 0 makes the close send a reset.
    linger now = {1, 0};
    setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_LINGER, &now, sizeof now);
  }
  Close();
}

}  // namespace platform
