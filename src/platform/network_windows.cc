// Delivery sockets on Windows: Windows Sockets 2, blocking, no options and no
// time-outs. A delivery can't be interrupted here; a worker that stays blocked past
// the unload limit is terminated instead, so the interrupt does nothing.
#include "platform/network.h"

#include <winsock2.h>

#include <climits>
#include <cstring>

namespace platform {

bool StartNetwork() {
  WSADATA data;  // scratch; not read afterwards
  return WSAStartup(0x0002, &data) == 0;
}

void StopNetwork() { WSACleanup(); }

struct DeliveryInterrupt::Impl {};

DeliveryInterrupt::DeliveryInterrupt() = default;
DeliveryInterrupt::~DeliveryInterrupt() = default;
void DeliveryInterrupt::Trigger() {}
void DeliveryInterrupt::Reset() {}
bool DeliveryInterrupt::IsTriggered() const { return false; }
int DeliveryInterrupt::waitHandle() const { return -1; }

Ipv4Address ParseIpv4Address(const char* host) {
  if (host == nullptr) return kNoAddress;
  return inet_addr(host);
}

bool ResolveIpv4Address(const char* host, const DeliveryInterrupt&,
                        Ipv4Address* address) {
  if (host == nullptr) return false;
  const hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
      entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    return false;
  }
  std::memcpy(address, entry->h_addr_list[0], sizeof *address);
  return true;
}

namespace {

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Open() {
  Close();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return false;
  handle_ = static_cast<std::intptr_t>(s);
  return true;
}

bool TcpSocket::Connect(Ipv4Address address, std::uint16_t port,
                        const DeliveryInterrupt&) {
  if (handle_ == -1) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  static_assert(sizeof peer == 16, "an IPv4 socket address is 16 bytes");
  return connect(AsSocket(handle_), reinterpret_cast<const sockaddr*>(&peer),
                 sizeof peer) == 0;
}

void TcpSocket::Send(const char* data, std::size_t size, const DeliveryInterrupt&) {
  if (handle_ == -1) return;
  // One send; a failed or short one goes unnoticed. A talk packet never comes near
  // INT_MAX bytes, but a larger size must not wrap to a negative length.
  int length = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                         : static_cast<int>(size);
  send(AsSocket(handle_), data, length, 0);
}

void TcpSocket::Close() {
  if (handle_ == -1) return;
  closesocket(AsSocket(handle_));
  handle_ = -1;
}

}  // namespace platform
