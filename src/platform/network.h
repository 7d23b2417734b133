// IPv4 TCP delivery: an interrupt, and a client socket whose waits it cuts short.
//
// A delivery behaves as a blocking one without time-outs of our own, but connect
// and every wait of a send look at the socket and the Interrupt together,
// so the owner can stop a delivery blocked on a hung server at once. Sends are
// continued until the whole packet is out, the peer fails or the interrupt fires,
// and never raise a signal. Name resolution is cut short by the interrupt where the
// system offers a lookup that can be abandoned; see ResolveIpv4Address.
#ifndef TOVARO_PLATFORM_NETWORK_H_
#define TOVARO_PLATFORM_NETWORK_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Starts the network library (WSAStartup with version 0x0002). True on success.
// Each successful call is matched by one StopNetwork; a failed one by none, since
// that would take one start off whoever else in the process uses the library.
// StopNetwork may unload the library's helper modules: never call it inside the
// system's loader lock (platform/loader.h).
bool StartNetwork();
void StopNetwork();

// Wakes a delivery that blocks in resolution, connect or send, and keeps every
// later one from starting until Reset. If the system can't provide one at
// construction, deliveries are simply not interruptible.
// Trigger from any thread; Reset and the constructor on the owner's thread.
class Interrupt {
 public:
  Interrupt();
  ~Interrupt();
  Interrupt(const Interrupt&) = delete;
  Interrupt& operator=(const Interrupt&) = delete;

  void Trigger();
  void Reset();
  bool IsTriggered() const;
  // What the system signals while the interrupt is triggered, for the other waits
  // of this layer: a pipe's read end (POSIX) or an event (Windows); -1 when there
  // is none.
  std::intptr_t SystemHandle() const;

 private:
  friend class TcpClient;  // waits on the interrupt together with its socket
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What became of a step of a delivery, the system's error turned into one of ours
// (in one function per backend).
enum class NetStatus {
  kOk,
  kRefused,        // nothing listens on the port: the peer refused the connection
  kTimedOut,       // the peer never answered the connection
  kUnreachable,    // no route to the host or its network
  kNameNotFound,   // the name does not resolve (also a name server that fails)
  kNoIpv4Address,  // the name resolves, but to no IPv4 address
  kInterrupted,    // the interrupt fired first
  kPeerFailed,     // the connection was reset or closed before all was sent
  kFailed,         // anything else the system refused
};

// An IPv4 address in network byte order.
using Ipv4Address = std::uint32_t;
constexpr Ipv4Address kNoAddress = 0xFFFFFFFFu;  // INADDR_NONE

// inet_addr: dotted IPv4 text, or kNoAddress when `host` is not one.
Ipv4Address ParseIpv4Address(const char* host);

// The first IPv4 address of `host`: kOk with `*address` set; else kNameNotFound,
// kNoIpv4Address (a name with IPv6 addresses only, say) or kInterrupted. Where the
// system has no lookup that can be abandoned (gethostbyname on Windows, other C
// libraries than glibc), a lookup already under way runs to the resolver's own end.
NetStatus ResolveIpv4Address(const char* host, const Interrupt& interrupt,
                             Ipv4Address* address);

// One IPv4 TCP socket; closed by Close or the destructor on every path. Used by
// one thread at a time (the worker).
class TcpClient {
 public:
  TcpClient() = default;
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // socket(AF_INET, SOCK_STREAM, 0). False when no socket could be opened, or
  // when the interrupt has fired.
  bool Open(const Interrupt& interrupt);
  // connect to address:port (port in host order; converted with htons). kOk once
  // connected; kRefused, kTimedOut, kUnreachable, kInterrupted or kFailed.
  NetStatus Connect(Ipv4Address address, std::uint16_t port,
                    const Interrupt& interrupt);
  // Sends `size` bytes: continued until all is sent (kOk), the peer fails
  // (kPeerFailed, kFailed) or the interrupt fires while the send has to wait
  // (kInterrupted). What the system takes at once always goes, also after the
  // interrupt has fired, so a connection that is made carries its data: a peer
  // never sees an empty connection for a delivery cut short.
  NetStatus Send(const char* data, std::size_t size, const Interrupt& interrupt);
  // Closes the socket; what is still buffered goes out after the close.
  void Close();
  // Closes the socket with a reset and discards what is still buffered, for a
  // delivery cut short: the peer sees an aborted connection, never one that ends
  // as if it were complete.
  void Abort();
  // The system's socket (a SOCKET on Windows, a descriptor on POSIX); -1 when
  // closed. For checks of how it was made; the client still owns it.
  std::intptr_t SystemHandle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;  // the system's socket; -1 when closed
  void* readiness_ = nullptr;  // an event the system sets as the socket gets
                               // ready, where waiting needs one; else null
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_NETWORK_H_
