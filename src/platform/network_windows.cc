// Delivery sockets on Windows: Windows Sockets 2.
//
// Each socket reports to an event of its own (WSAEventSelect, which also makes it
// non-blocking), so that connect and send can wait with WSAWaitForMultipleEvents on
// that event and on the interrupt's together. To the caller they still behave as
// blocking calls without time-outs of our own: the system bounds a connect by its
// handshake retries, and a send waits as long as the server keeps the connection
// open without reading.
//
// gethostbyname has no way to be abandoned, so a lookup under way (a host name
// whose resolver does not answer) is waited for to the resolver's own end.
//
// Two things set Windows apart from Linux (and Wine) here. A socket is inheritable
// unless asked otherwise, so a program the host starts during a delivery would
// keep our connection open until it ends. And a connect that the peer refuses
// (nothing listens on the port) is retried, twice by default and about a second
// apart, so it fails after some 2 s instead of at once: every text would hold the
// queue that long while the speech server is not running. Windows 8 and later let
// a socket skip those retries; this applies to every address, since a refused
// port costs the same on another machine, and a SYN lost on the way then only
// fails that one text sooner, which a queue whose texts are never retried
// accepts.
#include "platform/network.h"

#include <winsock2.h>
#include <mstcpip.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace platform {

bool StartNetwork() {
  WSADATA data;  // scratch; not read afterwards
  return WSAStartup(0x0002, &data) == 0;
}

void StopNetwork() { WSACleanup(); }

// A manual-reset event: set by Trigger until Reset.
struct Interrupt::Impl {
  HANDLE event = nullptr;
  // What the event says, also where there is none; read without a wait.
  std::atomic<bool> triggered{false};
};

Interrupt::Interrupt() : impl_(std::make_unique<Impl>()) {
  impl_->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Interrupt::~Interrupt() {
  if (impl_->event != nullptr) CloseHandle(impl_->event);
}

void Interrupt::Trigger() {
  impl_->triggered = true;
  if (impl_->event != nullptr) SetEvent(impl_->event);
}

void Interrupt::Reset() {
  impl_->triggered = false;
  if (impl_->event != nullptr) ResetEvent(impl_->event);
}

bool Interrupt::IsTriggered() const { return impl_->triggered; }

std::intptr_t Interrupt::SystemHandle() const {
  return impl_->event != nullptr ? reinterpret_cast<std::intptr_t>(impl_->event) : -1;
}

Ipv4Address ParseIpv4Address(const char* host) {
  if (host == nullptr) return kNoAddress;
  return inet_addr(host);
}

namespace {

// The one place a Windows Sockets error becomes ours.
NetStatus FromWsaError(int error) {
  switch (error) {
    case WSAECONNREFUSED: return NetStatus::kRefused;
    case WSAETIMEDOUT: return NetStatus::kTimedOut;
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAENETDOWN: return NetStatus::kUnreachable;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN: return NetStatus::kPeerFailed;
    // A name that exists, but has no address of the family asked for (IPv4).
    case WSANO_DATA: return NetStatus::kNoIpv4Address;
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_RECOVERY: return NetStatus::kNameNotFound;
    default: return NetStatus::kFailed;
  }
}

}  // namespace

NetStatus ResolveIpv4Address(const char* host, const Interrupt& interrupt,
                             Ipv4Address* address) {
  if (interrupt.IsTriggered()) return NetStatus::kInterrupted;
  if (host == nullptr) return NetStatus::kNameNotFound;
  const hostent* entry = gethostbyname(host);
  if (entry == nullptr) {
    const NetStatus status = FromWsaError(WSAGetLastError());
    return status == NetStatus::kNoIpv4Address ? status : NetStatus::kNameNotFound;
  }
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 ||
      entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    return NetStatus::kNoIpv4Address;
  }
  std::memcpy(address, entry->h_addr_list[0], sizeof *address);
  return NetStatus::kOk;
}

namespace {

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

// An IPv4 TCP socket, as socket() makes one, that no child process inherits:
// made so where the system knows the flag, else marked so at once (Windows 7
// without its update refuses the flag).
SOCKET OpenPrivateSocket() {
  SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0,
                        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s != INVALID_SOCKET) return s;
  s = WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (s != INVALID_SOCKET) {
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  }
  return s;
}

// Asks for a connect without SYN retransmissions. Systems before Windows 8, and
// Wine, refuse: the connect then behaves as it always has.
void SkipSynRetransmissions(SOCKET s) {
  TCP_INITIAL_RTO_PARAMETERS parameters{};
  parameters.Rtt = TCP_INITIAL_RTO_UNSPECIFIED_RTT;
  parameters.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
  DWORD returned = 0;
  static_cast<void>(WSAIoctl(s, SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters,
                             nullptr, 0, &returned, nullptr, nullptr));
}

constexpr long kSocketEvents = FD_CONNECT | FD_WRITE | FD_CLOSE;

// Waits, without a limit, until the socket reports one of `wanted` or the
// interrupt fires; the socket wins when both are ready (the wait reports the
// lowest event set), so what can be done without waiting is done. kOk with the
// events and their error codes in `happened` when the socket reported one of
// `wanted`.
NetStatus WaitForSocket(SOCKET s, WSAEVENT readiness, HANDLE interrupt, long wanted,
                        WSANETWORKEVENTS* happened) {
  WSAEVENT events[2] = {readiness, interrupt};
  // No interrupt event: the wait is on the socket alone.
  const DWORD count = interrupt != nullptr ? 2 : 1;
  for (;;) {
    DWORD result = WSAWaitForMultipleEvents(count, events, FALSE, WSA_INFINITE, FALSE);
    if (result == WSA_WAIT_FAILED) return NetStatus::kFailed;
    if (result == WSA_WAIT_EVENT_0 + 1) return NetStatus::kInterrupted;
    // Reads and clears what the socket has recorded, and resets its event.
    if (WSAEnumNetworkEvents(s, readiness, happened) != 0) return NetStatus::kFailed;
    if ((happened->lNetworkEvents & wanted) != 0) return NetStatus::kOk;
  }
}

}  // namespace

TcpClient::~TcpClient() { Close(); }

bool TcpClient::Open(const Interrupt& interrupt) {
  Close();
  if (interrupt.IsTriggered()) return false;
  SOCKET s = OpenPrivateSocket();
  if (s == INVALID_SOCKET) return false;
  SkipSynRetransmissions(s);
  WSAEVENT readiness = WSACreateEvent();
  if (readiness == WSA_INVALID_EVENT) {
    closesocket(s);
    return false;
  }
  if (WSAEventSelect(s, readiness, kSocketEvents) != 0) {
    closesocket(s);
    WSACloseEvent(readiness);
    return false;
  }
  handle_ = static_cast<std::intptr_t>(s);
  readiness_ = readiness;
  return true;
}

NetStatus TcpClient::Connect(Ipv4Address address, std::uint16_t port,
                             const Interrupt& interrupt) {
  if (handle_ == -1) return NetStatus::kFailed;
  // Not begun once the interrupt has fired: no connection is made for nothing.
  if (interrupt.IsTriggered()) return NetStatus::kInterrupted;
  SOCKET s = AsSocket(handle_);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  static_assert(sizeof peer == 16, "an IPv4 socket address is 16 bytes");
  if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
    return NetStatus::kOk;
  }
  const int error = WSAGetLastError();
  if (error != WSAEWOULDBLOCK) return FromWsaError(error);
  WSANETWORKEVENTS happened{};
  const NetStatus waited = WaitForSocket(s, readiness_, interrupt.impl_->event,
                                         FD_CONNECT | FD_CLOSE, &happened);
  if (waited != NetStatus::kOk) return waited;
  if ((happened.lNetworkEvents & FD_CONNECT) == 0) return NetStatus::kFailed;
  const int connectError = happened.iErrorCode[FD_CONNECT_BIT];
  return connectError == 0 ? NetStatus::kOk : FromWsaError(connectError);
}

NetStatus TcpClient::Send(const char* data, std::size_t size,
                          const Interrupt& interrupt) {
  if (handle_ == -1) return NetStatus::kFailed;
  SOCKET s = AsSocket(handle_);
  while (size > 0) {
    // A talk packet never comes near INT_MAX bytes, but a larger size must not
    // wrap to a negative length.
    int chunk = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                          : static_cast<int>(size);
    int n = send(s, data, chunk, 0);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    const int error = n == SOCKET_ERROR ? WSAGetLastError() : 0;
    if (error == WSAEWOULDBLOCK) {
      // A send that would block arms FD_WRITE for the moment there is room again.
      // After FD_CLOSE the next send tells a reset from a peer that only stopped
      // sending and may still read.
      WSANETWORKEVENTS happened{};
      const NetStatus waited = WaitForSocket(s, readiness_, interrupt.impl_->event,
                                             FD_WRITE | FD_CLOSE, &happened);
      if (waited != NetStatus::kOk) return waited;
      continue;
    }
    // The peer failed (reset, closed): the rest can't be delivered.
    return error != 0 ? FromWsaError(error) : NetStatus::kFailed;
  }
  return NetStatus::kOk;
}

void TcpClient::Abort() {
  if (handle_ != -1) {
    // A linger time of 0 makes the close send a reset.
    linger now{};
    now.l_onoff = 1;
    now.l_linger = 0;
    setsockopt(AsSocket(handle_), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&now), sizeof now);
  }
  Close();
}

void TcpClient::Close() {
  if (handle_ != -1) {
    // Without a linger time set, what is still buffered goes out after the close.
    closesocket(AsSocket(handle_));
    handle_ = -1;
  }
  if (readiness_ != nullptr) {
    WSACloseEvent(readiness_);
    readiness_ = nullptr;
  }
}

}  // namespace platform
