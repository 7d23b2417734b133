#include "talk_listener/talk_listener.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <thread>

#include "common/option_reader.h"
#include "platform/network.h"
#include "platform/tcp_listener.h"
#include "talk_listener/speaker.h"
#include "tovaro_version.h"

namespace tools::talk_listener {
namespace {

using platform::TcpConnection;
using platform::TcpListener;

// How often the serving loop looks at the stop flag while no one connects.
constexpr unsigned kStopCheckMs = 200;

constexpr char kUsage[] =
    "usage: talk-listener [OPTIONS]\n"
    "Listens for talk packets as the speech server would and prints one line for\n"
    "each connection: the five 16-bit fields, the character code, the length and\n"
    "the text. Malformed input is reported and serving goes on.\n"
    "Options:\n"
    "  --host ADDRESS   address to listen on (default 127.0.0.1)\n"
    "  --port N         port to listen on (default 50001; 0 picks a free one)\n"
    "  --json           print each packet as one JSON object per line\n"
    "  --count N        exit after N connections\n"
    "  --speak          read each text aloud with espeak-ng, when it is installed;\n"
    "                   speed, tone and volume are per cent of normal, -1 the\n"
    "                   default; text with kana or kanji is read in Japanese\n"
    "  --voice NAME     the espeak-ng voice for --speak and --speak-to (default: ja\n"
    "                   for text with kana or kanji, espeak-ng's own otherwise)\n"
    "  --speak-to DIR   write each text, spoken as --speak would, to a WAV file in\n"
    "                   DIR (made when missing): talk-PORT-N.wav for the Nth\n"
    "                   connection, replacing a file of that name; needs no sound\n"
    "                   device. Alone or with --speak\n"
    "  --quiet SECONDS  stop reading a connection that sends nothing for this long\n"
    "                   (default 5)\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "The address listened on is printed to standard error as\n"
    "'talk-listener: listening on HOST:PORT'.\n";

constexpr char kName[] = "talk-listener: ";

// Kana (hiragana, katakana, their phonetic extensions and half-width forms) and the
// CJK ideographs.
bool IsKanaOrKanji(char32_t c) {
  return (c >= 0x3040 && c <= 0x30ff) || (c >= 0x31f0 && c <= 0x31ff) ||
         (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) ||
         (c >= 0xf900 && c <= 0xfaff) || (c >= 0xff66 && c <= 0xff9f) ||
         (c >= 0x20000 && c <= 0x3134f);
}

// Reads the text's characters by their lead bytes; a broken sequence is read as
// whatever it spells, which is never kana or kanji unless its bytes say so.
bool HoldsKanaOrKanji(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
    if (i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : static_cast<char32_t>(lead & (0x7f >> length));
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
    }
    if (IsKanaOrKanji(c)) return true;
    i += length;
  }
  return false;
}

// DIR/talk-PORT-N.wav, N of at least four digits: the port keeps two listeners that
// share a folder apart.
std::string WavPath(const std::string& folder, std::uint16_t port, long number) {
  char name[64];
  std::snprintf(name, sizeof name, "talk-%u-%04ld.wav", static_cast<unsigned>(port),
                number);
  return (std::filesystem::path(folder) / name).string();
}

bool ReadWhole(const std::string& text, long low, long high, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long number = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || number < low || number > high) return false;
  *value = number;
  return true;
}

std::string Clamped(long value, long low, long high) {
  return std::to_string(value < low ? low : value > high ? high : value);
}

enum class ReadEnd {
  kClosed,   // the peer closed the connection
  kQuiet,    // nothing arrived for the quiet time
  kTooMuch,  // the byte limit was reached; the rest was not read
  kFailed,   // the connection broke
};

// Reads `connection` until the peer closes, `quietMs` pass without a byte, or
// `maxBytes` have arrived; appends what came to `bytes`. `never` is an interrupt
// nobody triggers: the waits here end by themselves.
ReadEnd ReadAll(TcpListener& listener, TcpConnection& connection, std::size_t maxBytes,
                unsigned quietMs, const platform::Interrupt& never, std::string* bytes) {
  char buffer[4096];
  std::size_t received = 0;
  for (;;) {
    if (received >= maxBytes) return ReadEnd::kTooMuch;
    const std::size_t room = maxBytes - received;
    std::size_t got = 0;
    switch (connection.Receive(buffer, room < sizeof buffer ? room : sizeof buffer, &got)) {
      case TcpConnection::Received::kData:
        bytes->append(buffer, got);
        received += got;
        continue;
      case TcpConnection::Received::kClosed:
        return ReadEnd::kClosed;
      case TcpConnection::Received::kBroken:
        return ReadEnd::kFailed;
      case TcpConnection::Received::kNothingYet:
        break;
    }
    switch (listener.Wait(false, {&connection}, never, quietMs)) {
      case TcpListener::Woken::kTimedOut:
        return ReadEnd::kQuiet;
      case TcpListener::Woken::kReady:
        continue;
      case TcpListener::Woken::kInterrupted:
      case TcpListener::Woken::kFailed:
        return ReadEnd::kFailed;
    }
  }
}

// Binds `host` (dotted IPv4 or a name that resolves to IPv4) and `port`.
bool Listen(TcpListener& listener, const std::string& host, std::uint16_t port,
            const platform::Interrupt& never, std::string* error) {
  platform::Ipv4Address address = platform::ParseIpv4Address(host.c_str());
  if (address == platform::kNoAddress &&
      platform::ResolveIpv4Address(host.c_str(), never, &address) !=
          platform::NetStatus::kOk) {
    *error = "can't resolve '" + host + "' to an IPv4 address";
    return false;
  }
  std::string reason;
  if (!listener.Listen(address, port, 16, 0, &reason)) {
    *error = "can't bind " + host + ":" + std::to_string(port) + ": " + reason;
    return false;
  }
  return true;
}

std::string CutShortReason(ReadEnd end, unsigned quietMs) {
  switch (end) {
    case ReadEnd::kClosed:
      return std::string();
    case ReadEnd::kQuiet:
      return "nothing more arrived for " + std::to_string(quietMs) +
             " ms and the peer kept the connection open";
    case ReadEnd::kTooMuch:
      return "more than " + std::to_string(kMaxConnectionBytes) +
             " bytes; the rest was not read";
    case ReadEnd::kFailed:
      return "the connection broke";
  }
  return std::string();
}

}  // namespace

const char* UsageText() { return kUsage; }

bool ParseOptions(const std::vector<std::string>& arguments, Options* options,
                  std::string* error) {
  *options = Options();
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    Option option;
    if (!ReadOption(arguments, &i,
                    {"--host", "--port", "--count", "--quiet", "--voice", "--speak-to"},
                    &option, error)) {
      return false;
    }
    const std::string& name = option.name;
    const std::string& value = option.value;
    long number = 0;
    if (name == "--host") {
      if (value.empty()) {
        *error = "--host needs an address";
        return false;
      }
      options->host = value;
    } else if (name == "--port") {
      if (!ReadWhole(value, 0, 65535, &number)) {
        *error = "--port needs a number from 0 to 65535, not '" + value + "'";
        return false;
      }
      options->port = static_cast<std::uint16_t>(number);
    } else if (name == "--count") {
      if (!ReadWhole(value, 1, 1000000000L, &number)) {
        *error = "--count needs a whole number of at least 1, not '" + value + "'";
        return false;
      }
      options->count = number;
    } else if (name == "--quiet") {
      if (!ReadWhole(value, 1, 3600, &number)) {
        *error = "--quiet needs a number of seconds from 1 to 3600, not '" + value + "'";
        return false;
      }
      options->quietMs = static_cast<unsigned>(number) * 1000u;
    } else if (name == "--json") {
      options->json = true;
    } else if (name == "--speak") {
      options->speak = true;
    } else if (name == "--voice") {
      if (value.empty()) {
        *error = "--voice needs the name of an espeak-ng voice";
        return false;
      }
      options->voice = value;
    } else if (name == "--speak-to") {
      if (value.empty()) {
        *error = "--speak-to needs a folder";
        return false;
      }
      options->speakTo = value;
    } else if (name == "--help") {
      options->help = true;
      return true;
    } else if (name == "--version") {
      options->version = true;
      return true;
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }
  if (!options->voice.empty() && !options->speak && options->speakTo.empty()) {
    *error = "--voice is for --speak or --speak-to";
    return false;
  }
  return true;
}

std::string ChooseVoice(const std::string& text, const std::string& chosen) {
  if (!chosen.empty()) return chosen;
  return HoldsKanaOrKanji(text) ? "ja" : std::string();
}

std::vector<std::string> EspeakArguments(const TalkPacket& packet,
                                         const std::string& voice) {
  // espeak-ng's own normal values: 175 words a minute, amplitude 100, pitch 50.
  std::vector<std::string> arguments;
  if (!voice.empty()) {
    arguments.push_back("-v");
    arguments.push_back(voice);
  }
  if (packet.speed >= 0) {
    arguments.push_back("-s");
    arguments.push_back(Clamped(175L * packet.speed / 100, 80, 450));
  }
  if (packet.volume >= 0) {
    arguments.push_back("-a");
    arguments.push_back(Clamped(packet.volume, 0, 200));
  }
  if (packet.tone >= 0) {
    arguments.push_back("-p");
    arguments.push_back(Clamped(50L * packet.tone / 100, 0, 99));
  }
  return arguments;
}

int RunTalkListener(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err, const std::atomic<bool>* stop,
                    const std::function<void(std::uint16_t)>& onListening) {
  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) {
    err << kName << error << "\n(talk-listener --help shows the usage)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << kUsage;
    return kExitSuccess;
  }
  if (options.version) {
    out << "talk-listener " << tovaro::kVersion << "\n";
    return kExitSuccess;
  }
  bool speak = options.speak || !options.speakTo.empty();
  if (speak && !SpeakerAvailable()) {
    err << kName << "espeak-ng is not installed here; showing packets without "
                    "speaking them\n";
    speak = false;
  }
  if (speak && !options.speakTo.empty()) {
    std::error_code failure;
    std::filesystem::create_directories(options.speakTo, failure);
    if (!std::filesystem::is_directory(options.speakTo, failure)) {
      err << kName << "can't make the folder '" << options.speakTo
          << "' for --speak-to\n";
      return kExitSpeakTo;
    }
  }
  if (!platform::StartNetwork()) {
    err << kName << "the network library did not start\n";
    platform::StopNetwork();
    return kExitListen;
  }
  IgnoreBrokenPipes();
  int exitCode = kExitSuccess;
  {
    TcpListener listener;
    // Made once: on POSIX each interrupt is a pipe.
    const platform::Interrupt never;
    if (!Listen(listener, options.host, options.port, never, &error)) {
      err << kName << error << "\n";
      exitCode = kExitListen;
    } else {
      err << kName << "listening on " << options.host << ":" << listener.port()
          << std::endl;
      if (onListening) onListening(listener.port());
      long shown = 0;
      while (options.count == 0 || shown < options.count) {
        if (stop != nullptr && stop->load()) break;
        TcpConnection connection;
        const TcpListener::Accepted accepted = listener.Accept(&connection, &error);
        if (accepted == TcpListener::Accepted::kNoneWaiting) {
          listener.Wait(true, {}, never, kStopCheckMs);
          continue;
        }
        if (accepted == TcpListener::Accepted::kFailed) {
          err << kName << error << std::endl;
          // A failure such as running out of descriptors would repeat at once.
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          continue;
        }
        std::string bytes;
        ReadEnd end = ReadAll(listener, connection, kMaxConnectionBytes, options.quietMs,
                              never, &bytes);
        Decoded decoded = DecodeConnection(bytes);
        decoded.cutShort = CutShortReason(end, options.quietMs);
        out << (options.json ? FormatJson(decoded) : FormatPlain(decoded)) << std::endl;
        ++shown;
        if (speak && decoded.hasText && !decoded.packet.text.empty()) {
          const std::string& text = decoded.packet.text;
          std::vector<std::string> espeak =
              EspeakArguments(decoded.packet, ChooseVoice(text, options.voice));
          if (options.speak && !Speak(espeak, text)) {
            err << kName << "espeak-ng failed to speak the text" << std::endl;
          }
          if (!options.speakTo.empty()) {
            const std::string file = WavPath(options.speakTo, listener.port(), shown);
            espeak.push_back("-w");
            espeak.push_back(file);
            if (Speak(espeak, text)) {
              err << kName << "wrote " << file << std::endl;
            } else {
              err << kName << "espeak-ng failed to write " << file << std::endl;
            }
          }
        }
      }
    }
  }
  platform::StopNetwork();
  return exitCode;
}

}  // namespace tools::talk_listener
