#include "speech/talk_delivery.h"

#include <cstddef>

#include "platform/network.h"
#include "speech/talk_packet.h"

namespace speech {
namespace {

// Whether `host` could be a name at all: letters, digits, '-', '.' and '_' (and
// any byte of a character beyond ASCII, which the lookup judges). An IPv6 address,
// a host with its port ("127.0.0.1:50001") or one with a blank is not, and is
// reported as such rather than as a name that was not found.
bool CouldBeName(const std::string& host) {
  for (const char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    const bool fits = byte >= 0x80 || (byte >= '0' && byte <= '9') ||
                      (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      byte == '-' || byte == '.' || byte == '_';
    if (!fits) return false;
  }
  return true;
}

DropCause FromNetStatus(platform::NetStatus status) {
  switch (status) {
    case platform::NetStatus::kOk: return DropCause::kNone;
    case platform::NetStatus::kRefused: return DropCause::kRefused;
    case platform::NetStatus::kTimedOut: return DropCause::kTimedOut;
    case platform::NetStatus::kUnreachable: return DropCause::kUnreachable;
    case platform::NetStatus::kNameNotFound: return DropCause::kUnknownHost;
    case platform::NetStatus::kNoIpv4Address: return DropCause::kNoIpv4;
    // Only unload fires the interrupt.
    case platform::NetStatus::kInterrupted: return DropCause::kUnload;
    case platform::NetStatus::kPeerFailed: return DropCause::kSendFailed;
    case platform::NetStatus::kFailed: return DropCause::kNetwork;
  }
  return DropCause::kNetwork;
}

}  // namespace

DropCause SendTalkPacket(const TalkEntry& entry, std::vector<char>& buffer,
                         const platform::Interrupt& interrupt) {
  // Port 0 can't be connected to anywhere; it is what a port argument that is not a
  // number becomes.
  if (entry.port == 0) return DropCause::kBadPort;
  // Built before any connection is made, so that running out of memory never
  // leaves the server a connection that says nothing.
  const std::size_t size = BuildTalkPacket(entry, buffer);

  // The socket closes itself on every way out, an exception included.
  platform::TcpClient socket;
  if (!socket.Open(interrupt)) {
    return interrupt.IsTriggered() ? DropCause::kUnload : DropCause::kNetwork;
  }

  const char* host = entry.host.c_str();
  platform::Ipv4Address address = platform::ParseIpv4Address(host);
  if (address == platform::kNoAddress) {
    const platform::NetStatus found =
        platform::ResolveIpv4Address(host, interrupt, &address);
    if (found != platform::NetStatus::kOk) {
      socket.Close();
      if (found != platform::NetStatus::kInterrupted && !CouldBeName(entry.host)) {
        return DropCause::kNotIpv4;
      }
      return FromNetStatus(found);
    }
  }
  const platform::NetStatus connected = socket.Connect(address, entry.port, interrupt);
  if (connected != platform::NetStatus::kOk) {
    // A connect cut short may have reached the server already: a reset tells it so.
    if (connected == platform::NetStatus::kInterrupted) {
      socket.Abort();
    } else {
      socket.Close();
    }
    return FromNetStatus(connected);
  }

  const platform::NetStatus sent = socket.Send(buffer.data(), size, interrupt);
  if (sent != platform::NetStatus::kOk) {
    socket.Abort();
    return FromNetStatus(sent);
  }
  socket.Close();
  return DropCause::kNone;
}

DropCause SocketTalkDelivery::Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                                      const platform::Interrupt& interrupt) {
  return SendTalkPacket(entry, buffer, interrupt);
}

}  // namespace speech
