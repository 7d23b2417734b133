// IPv4 TCP delivery facilities for the speech worker.
//
// Windows: Windows Sockets 2 (WSAStartup, socket, htons, inet_addr, gethostbyname,
// connect, send, closesocket, WSACleanup); blocking sockets, no options.
// POSIX: the C library's sockets and resolver. Sends never raise SIGPIPE and are
// continued after a signal; connect, send and name resolution wait on the socket
// and the DeliveryInterrupt together, so the owner can stop a blocked delivery.
#ifndef TOVARO_PLATFORM_NETWORK_H_
#define TOVARO_PLATFORM_NETWORK_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Starts the network library (WSAStartup with version 0x0002). True on success.
// Every call, successful or not, is matched by one StopNetwork.
bool StartNetwork();
void StopNetwork();

// Wakes a delivery that blocks in resolution, connect or send. On Windows it does
// nothing: a worker that stays blocked is terminated instead.
// Trigger from any thread; Reset and the constructor on the owner's thread.
class DeliveryInterrupt {
 public:
  DeliveryInterrupt();
  ~DeliveryInterrupt();
  DeliveryInterrupt(const DeliveryInterrupt&) = delete;
  DeliveryInterrupt& operator=(const DeliveryInterrupt&) = delete;

  void Trigger();
  void Reset();
  bool IsTriggered() const;
  // The descriptor that becomes readable on Trigger (POSIX); -1 on Windows.
  int waitHandle() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An IPv4 address in network byte order.
using Ipv4Address = std::uint32_t;
constexpr Ipv4Address kNoAddress = 0xFFFFFFFFu;  // INADDR_NONE

// inet_addr: dotted IPv4 text, or kNoAddress when `host` is not one.
Ipv4Address ParseIpv4Address(const char* host);

// gethostbyname: the first IPv4 address of `host`. False when the name does not
// resolve, has no address, or the interrupt fired.
bool ResolveIpv4Address(const char* host, const DeliveryInterrupt& interrupt,
                        Ipv4Address* address);

// One blocking IPv4 TCP socket; closed by Close or the destructor on every path.
// Used by one thread at a time (the worker).
class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // socket(AF_INET, SOCK_STREAM, 0). False when no socket could be opened.
  bool Open();
  // connect to address:port (port in host order; converted with htons). True on
  // success.
  bool Connect(Ipv4Address address, std::uint16_t port,
               const DeliveryInterrupt& interrupt);
  // Sends `size` bytes. Windows: one send with flags 0, the result not examined.
  // POSIX: continued until all is sent, the peer fails, or the interrupt fires.
  void Send(const char* data, std::size_t size, const DeliveryInterrupt& interrupt);
  void Close();

 private:
  std::intptr_t handle_ = -1;  // SOCKET or file descriptor; -1 when closed
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_NETWORK_H_
