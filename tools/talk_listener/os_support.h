// What talk-listener needs from the operating system: a listening IPv4 TCP socket,
// reading one connection to its end, and handing text to espeak-ng.
//
// POSIX: BSD sockets with poll, popen for espeak-ng. Windows: Windows Sockets 2 with
// select; speaking is not offered there.
//
// One thread owns each object.
#ifndef TOVARO_TOOLS_TALK_LISTENER_OS_SUPPORT_H_
#define TOVARO_TOOLS_TALK_LISTENER_OS_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools::talk_listener {

// Starts and stops the socket library (Windows); each successful start is matched
// by one stop. False, with the reason, when it can't start.
bool StartSockets(std::string* error);
void StopSockets();

enum class ReadEnd {
  kClosed,   // the peer closed the connection
  kQuiet,    // nothing arrived for the quiet time
  kTooMuch,  // the byte limit was reached; the rest was not read
  kFailed,   // the connection broke
};

// One accepted connection; closed by the destructor.
class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Reads until the peer closes, `quietMs` pass without a byte, or `maxBytes` have
  // arrived; appends what came to `bytes`.
  ReadEnd ReadAll(std::size_t maxBytes, unsigned quietMs, std::string* bytes);

 private:
  friend class ListenSocket;
  std::intptr_t handle_ = -1;
};

class ListenSocket {
 public:
  ListenSocket() = default;
  ~ListenSocket();
  ListenSocket(const ListenSocket&) = delete;
  ListenSocket& operator=(const ListenSocket&) = delete;

  // Binds `host` (dotted IPv4 or a name that resolves to IPv4) and `port` (0: any
  // free port) and listens. False, with the reason, on failure.
  bool Listen(const std::string& host, std::uint16_t port, std::string* error);
  // The port bound.
  std::uint16_t port() const { return port_; }

  enum class AcceptResult { kAccepted, kTimedOut, kFailed };
  // Waits at most `timeoutMs` for the next connection.
  AcceptResult Accept(unsigned timeoutMs, Connection* connection, std::string* error);

 private:
  std::intptr_t handle_ = -1;
  std::uint16_t port_ = 0;
};

// True when espeak-ng can be run here.
bool SpeakerAvailable();
// Runs espeak-ng with `arguments`, feeding it `text` on standard input, and waits
// for it to finish. False when it could not be run or failed.
bool Speak(const std::vector<std::string>& arguments, const std::string& text);

}  // namespace tools::talk_listener

#endif  // TOVARO_TOOLS_TALK_LISTENER_OS_SUPPORT_H_
