#include "talk_listener/os_support.h"

#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#endif

namespace tools::talk_listener {

#if defined(_WIN32)

namespace {

const std::intptr_t kClosed = -1;

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

std::string LastError() { return "error " + std::to_string(WSAGetLastError()); }

void CloseHandle(std::intptr_t handle) {
  if (handle != kClosed) closesocket(AsSocket(handle));
}

// Waits for `handle` to become readable; 1 ready, 0 timed out, -1 failure.
int WaitReadable(std::intptr_t handle, unsigned timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(AsSocket(handle), &set);
  timeval timeout;
  timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
  timeout.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
  int ready = select(0, &set, nullptr, nullptr, &timeout);
  return ready > 0 ? 1 : ready;
}

}  // namespace

bool StartSockets(std::string* error) {
  WSADATA data;
  int result = WSAStartup(MAKEWORD(2, 2), &data);
  if (result != 0) {
    *error = "WSAStartup failed with " + std::to_string(result);
    return false;
  }
  return true;
}

void StopSockets() { WSACleanup(); }

#else  // POSIX

namespace {

const std::intptr_t kClosed = -1;

int AsSocket(std::intptr_t handle) { return static_cast<int>(handle); }

std::string LastError() { return std::strerror(errno); }

void CloseHandle(std::intptr_t handle) {
  if (handle != kClosed) close(AsSocket(handle));
}

int WaitReadable(std::intptr_t handle, unsigned timeoutMs) {
  pollfd entry{AsSocket(handle), POLLIN, 0};
  for (;;) {
    int ready = poll(&entry, 1, static_cast<int>(timeoutMs));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0 ? 1 : ready;
  }
}

}  // namespace

bool StartSockets(std::string*) {
  // A speaker that quits early must not end the listener when its pipe breaks.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}
void StopSockets() {}

#endif

Connection::~Connection() { CloseHandle(handle_); }

ReadEnd Connection::ReadAll(std::size_t maxBytes, unsigned quietMs, std::string* bytes) {
  char buffer[4096];
  std::size_t received = 0;
  for (;;) {
    if (received >= maxBytes) return ReadEnd::kTooMuch;
    int ready = WaitReadable(handle_, quietMs);
    if (ready == 0) return ReadEnd::kQuiet;
    if (ready < 0) return ReadEnd::kFailed;
    std::size_t room = maxBytes - received;
    int wanted = static_cast<int>(room < sizeof buffer ? room : sizeof buffer);
    int count = static_cast<int>(recv(AsSocket(handle_), buffer, wanted, 0));
#if !defined(_WIN32)
    if (count < 0 && errno == EINTR) continue;
#endif
    if (count == 0) return ReadEnd::kClosed;
    if (count < 0) return ReadEnd::kFailed;
    bytes->append(buffer, static_cast<std::size_t>(count));
    received += static_cast<std::size_t>(count);
  }
}

ListenSocket::~ListenSocket() { CloseHandle(handle_); }

bool ListenSocket::Listen(const std::string& host, std::uint16_t port,
                          std::string* error) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  int resolved = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (resolved != 0 || found == nullptr) {
    *error = "can't resolve '" + host + "' to an IPv4 address";
    return false;
  }
  sockaddr_in address;
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(port);

  std::intptr_t handle = static_cast<std::intptr_t>(socket(AF_INET, SOCK_STREAM, 0));
#if defined(_WIN32)
  if (AsSocket(handle) == INVALID_SOCKET) handle = kClosed;
#endif
  if (handle == kClosed || handle < 0) {
    *error = "can't open a socket: " + LastError();
    return false;
  }
#if !defined(_WIN32)
  // A listener started again at once may reuse its port while old connections
  // linger in TIME_WAIT. (On Windows the same option would let others steal it.)
  int on = 1;
  setsockopt(AsSocket(handle), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
  if (bind(AsSocket(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = "can't bind " + host + ":" + std::to_string(port) + ": " + LastError();
    CloseHandle(handle);
    return false;
  }
  if (listen(AsSocket(handle), 16) != 0) {
    *error = "can't listen: " + LastError();
    CloseHandle(handle);
    return false;
  }
  sockaddr_in bound;
  socklen_t size = sizeof bound;
  if (getsockname(AsSocket(handle), reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
    *error = "can't tell the port bound: " + LastError();
    CloseHandle(handle);
    return false;
  }
  CloseHandle(handle_);
  handle_ = handle;
  port_ = ntohs(bound.sin_port);
  return true;
}

ListenSocket::AcceptResult ListenSocket::Accept(unsigned timeoutMs,
                                                Connection* connection,
                                                std::string* error) {
  int ready = WaitReadable(handle_, timeoutMs);
  if (ready == 0) return AcceptResult::kTimedOut;
  if (ready < 0) {
    *error = "waiting for a connection failed: " + LastError();
    return AcceptResult::kFailed;
  }
  std::intptr_t accepted =
      static_cast<std::intptr_t>(accept(AsSocket(handle_), nullptr, nullptr));
#if defined(_WIN32)
  if (AsSocket(accepted) == INVALID_SOCKET) accepted = kClosed;
#endif
  if (accepted == kClosed || accepted < 0) {
    *error = "accept failed: " + LastError();
    return AcceptResult::kFailed;
  }
  CloseHandle(connection->handle_);
  connection->handle_ = accepted;
  return AcceptResult::kAccepted;
}

#if defined(_WIN32)

bool SpeakerAvailable() { return false; }
bool Speak(const std::vector<std::string>&, const std::string&) { return false; }

#else

bool SpeakerAvailable() {
  const char* path = std::getenv("PATH");
  std::string directories = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t end = directories.find(':', start);
    std::string directory = directories.substr(start, end - start);
    if (directory.empty()) directory = ".";
    std::string file = directory + "/espeak-ng";
    struct stat info;
    if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(file.c_str(), X_OK) == 0) {
      return true;
    }
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

bool Speak(const std::vector<std::string>& arguments, const std::string& text) {
  // The text goes through standard input, never the command line, so nothing in it
  // can be read by the shell.
  std::string command = "espeak-ng";
  for (const std::string& argument : arguments) {
    command += " '";
    for (char c : argument) {
      if (c == '\'') {
        command += "'\\''";
      } else {
        command += c;
      }
    }
    command += "'";
  }
  command += " --stdin >/dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
  int status = pclose(pipe);
  return written && status == 0;
}

#endif

}  // namespace tools::talk_listener
