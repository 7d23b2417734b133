// One utterance waiting to be sent to the speech server.
#ifndef TOVARO_SPEECH_TALK_ENTRY_H_
#define TOVARO_SPEECH_TALK_ENTRY_H_

#include <cstdint>
#include <string>

namespace speech {

// The local machine, where the speech server runs unless a script names another.
constexpr const char* kDefaultHost = "127.0.0.1";
constexpr std::uint16_t kDefaultPort = 50001;

// Owns its two byte strings; copied by value into and out of the talk queue.
struct TalkEntry {
  std::string text;                 // UTF-8
  std::string host = kDefaultHost;  // host name or dotted IPv4 address, UTF-8
  std::uint16_t port = kDefaultPort;
  std::int16_t commandWord = 1;
  std::int16_t speed = -1;
  std::int16_t tone = -1;
  std::int16_t volume = -1;
  std::int16_t voice = 0;
};

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_ENTRY_H_
