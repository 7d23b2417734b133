#include "speech/talk_delivery.h"

#include <cstddef>

#include "platform/network.h"
#include "speech/talk_packet.h"

namespace speech {

void SendTalkPacket(const TalkEntry& entry, std::vector<char>& buffer,
                    const platform::Interrupt& interrupt) {
  // The socket closes itself on every way out, an exception included.
  platform::TcpClient socket;
  if (!socket.Open(interrupt)) return;

  const char* host = entry.host.c_str();
  platform::Ipv4Address address = platform::ParseIpv4Address(host);
  if (address == platform::kNoAddress &&
      !platform::ResolveIpv4Address(host, interrupt, &address)) {
    socket.Close();
    return;
  }
  if (!socket.Connect(address, entry.port, interrupt)) {
    socket.Close();
    return;
  }

  const std::size_t size = BuildTalkPacket(entry, buffer);
  socket.Send(buffer.data(), size, interrupt);
  socket.Close();
}

void SocketTalkDelivery::Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                                 const platform::Interrupt& interrupt) {
  SendTalkPacket(entry, buffer, interrupt);
}

}  // namespace speech
