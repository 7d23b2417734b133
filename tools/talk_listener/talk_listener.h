// talk-listener: a stand-in speech server that shows each talk packet it receives.
// main() hands its arguments and streams to RunTalkListener, so tests can drive it.
#ifndef TOVARO_TOOLS_TALK_LISTENER_TALK_LISTENER_H_
#define TOVARO_TOOLS_TALK_LISTENER_TALK_LISTENER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "talk_listener/packet_decoder.h"

namespace tools::talk_listener {

// Exit codes.
constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 2;
constexpr int kExitListen = 3;  // the socket could not be set up

// A connection may carry at most this much; the rest is not read.
constexpr std::size_t kMaxConnectionBytes = 16u << 20;

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = 50001;
  bool json = false;
  long count = 0;            // 0: serve until stopped
  bool speak = false;
  unsigned quietMs = 5000;   // a connection silent this long is read no further
  bool help = false;
};

bool ParseOptions(const std::vector<std::string>& arguments, Options* options,
                  std::string* error);

// The espeak-ng options for a packet: speed, tone and volume are taken as per cent
// of normal (100), so 150 speaks half again as fast; any negative value (-1 is what
// the module sends when a script gives none) leaves espeak-ng's default. The voice
// number is not mapped.
std::vector<std::string> EspeakArguments(const TalkPacket& packet);

// Serves until `count` connections have been shown or `stop` becomes true (checked
// a few times a second; may be null). `onListening` (may be empty) gets the port
// once the socket listens. Packets go to `out`, one line each, flushed; the
// listening address and problems go to `err`. Returns an exit code.
int RunTalkListener(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err, const std::atomic<bool>* stop,
                    const std::function<void(std::uint16_t)>& onListening);

const char* UsageText();

}  // namespace tools::talk_listener

#endif  // TOVARO_TOOLS_TALK_LISTENER_TALK_LISTENER_H_
