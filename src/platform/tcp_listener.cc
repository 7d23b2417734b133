// What the serving side of TCP does alike on every system: ownership of the
// handles; their uses are in the _posix and _windows twins.
#include "platform/tcp_listener.h"

namespace platform {

TcpConnection::~TcpConnection() { Close(); }

TcpConnection::TcpConnection(TcpConnection&& other) noexcept : handle_(other.handle_) {
  other.handle_ = -1;
}

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

TcpListener::~TcpListener() { Close(); }

bool TcpListener::Listen(Ipv4Address address, std::uint16_t port, int backlog,
                         int receiveBuffer, std::string* error) {
  Close();
  if (Open(address, port, backlog, receiveBuffer, error)) return true;
  Close();
  return false;
}

}  // namespace platform
