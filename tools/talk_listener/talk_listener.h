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
constexpr int kExitSpeakTo = 4;  // the --speak-to folder could not be made

// A connection may carry at most this much; the rest is not read.
constexpr std::size_t kMaxConnectionBytes = 16u << 20;

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = 50001;
  bool json = false;
  long count = 0;            // 0: serve until stopped
  bool speak = false;
  std::string voice;         // espeak-ng voice; empty: chosen by the text
  std::string speakTo;       // folder for one WAV file per packet; empty: none
  unsigned quietMs = 5000;   // a connection silent this long is read no further
  bool help = false;
  bool version = false;
};

bool ParseOptions(const std::vector<std::string>& arguments, Options* options,
                  std::string* error);

// The espeak-ng voice for a text: `chosen` when it is not empty, else "ja" when the
// UTF-8 text holds kana or kanji (espeak-ng's default voice spells them out letter
// by letter), else empty for espeak-ng's default.
std::string ChooseVoice(const std::string& text, const std::string& chosen);

// The espeak-ng options for a packet: the voice (none when empty), then speed, tone
// and volume, taken as per cent of normal (100), so 150 speaks half again as fast;
// any negative value (-1 is what the module sends when a script gives none) leaves
// espeak-ng's default. The packet's voice number is not mapped.
std::vector<std::string> EspeakArguments(const TalkPacket& packet,
                                         const std::string& voice);

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
