// The serving side of IPv4 TCP, for the stand-in speech servers of the tools,
// the tests and the benchmarks (the module itself only connects): a listening
// socket, the connections it accepts, and one wait on both that an Interrupt
// cuts short.
//
// Accepting and receiving never block; a server thread sleeps in Wait until
// there is something to do, then accepts and receives until nothing is left.
// Each object is used by one thread at a time and closes its socket on every
// path. The network library must be started (StartNetwork) while any of them is
// open.
#ifndef TOVARO_PLATFORM_TCP_LISTENER_H_
#define TOVARO_PLATFORM_TCP_LISTENER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/network.h"

namespace platform {

// One accepted connection. Movable; closed by Close or the destructor.
class TcpConnection {
 public:
  TcpConnection() = default;
  ~TcpConnection();
  TcpConnection(TcpConnection&& other) noexcept;
  TcpConnection& operator=(TcpConnection&& other) noexcept;
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  enum class Received {
    kData,        // `*got` bytes (at least one) were taken
    kNothingYet,  // the connection is open and nothing has arrived
    kClosed,      // the peer closed the connection: nothing more comes
    kBroken,      // the peer reset it, or it failed: nothing more comes
  };
  // Takes at most `capacity` bytes of what has arrived, without waiting.
  Received Receive(char* buffer, std::size_t capacity, std::size_t* got);
  void Close();

 private:
  friend class TcpListener;
  std::intptr_t handle_ = -1;
};

class TcpListener {
 public:
  TcpListener() = default;
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // The longest queue of connections not yet accepted that the system allows.
  static constexpr int kLongestBacklog = -1;
  // Binds `address` (network byte order) and `port` (0: one the system chooses)
  // and listens with room for `backlog` connections not yet accepted (0: the
  // system's least; kLongestBacklog: its most). A `receiveBuffer` above 0 sets
  // the receive buffer of every connection accepted, so that a client's large
  // send fills it and blocks soon. False, with the reason in `error`, when any
  // step fails.
  bool Listen(Ipv4Address address, std::uint16_t port, int backlog, int receiveBuffer,
              std::string* error);
  std::uint16_t port() const { return port_; }

  enum class Accepted { kOne, kNoneWaiting, kFailed };
  // Takes one connection that waits, without waiting. On kFailed (out of
  // descriptors, say) the reason is in `error`.
  Accepted Accept(TcpConnection* connection, std::string* error);

  enum class Woken { kReady, kTimedOut, kInterrupted, kFailed };
  static constexpr unsigned kNoLimit = ~0u;
  // Waits until a connection waits to be accepted (only if `acceptsToo`), one
  // of `watched` has bytes or has ended, the interrupt fires (it wins when both
  // happen; Windows sees it within a few milliseconds), or `timeoutMs` pass.
  // kReady may come without anything to take; the caller then tries again.
  Woken Wait(bool acceptsToo, const std::vector<TcpConnection*>& watched,
             const Interrupt& interrupt, unsigned timeoutMs);
  void Close();

 private:
  // The system's steps of Listen. False, with the reason in `error`, at the first
  // that fails; Listen then closes what was opened.
  bool Open(Ipv4Address address, std::uint16_t port, int backlog, int receiveBuffer,
            std::string* error);

  std::intptr_t handle_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_TCP_LISTENER_H_
