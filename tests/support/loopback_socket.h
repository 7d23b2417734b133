// The few socket spellings that differ between Windows Sockets and POSIX, for the
// test-side servers (the stand-in speech server and the benchmarks' packet sink).
// Header-only; each user starts Windows Sockets itself.
#ifndef TOVARO_TESTS_SUPPORT_LOOPBACK_SOCKET_H_
#define TOVARO_TESTS_SUPPORT_LOOPBACK_SOCKET_H_

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace test_support {

#if defined(_WIN32)
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
inline void CloseSocket(Socket s) { closesocket(s); }
using SockLen = int;
#else
using Socket = int;
const Socket kNoSocket = -1;
inline void CloseSocket(Socket s) { close(s); }
using SockLen = socklen_t;
#endif

// 127.0.0.1 at `port` (0 lets the system choose when binding).
inline sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace test_support

#endif  // TOVARO_TESTS_SUPPORT_LOOPBACK_SOCKET_H_
