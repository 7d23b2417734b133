#include "talk_listener/talk_listener.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "talk_listener/os_support.h"

namespace tools::talk_listener {
namespace {

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
    "                   default\n"
    "  --quiet SECONDS  stop reading a connection that sends nothing for this long\n"
    "                   (default 5)\n"
    "  --help           show this text\n"
    "The address listened on is printed to standard error as\n"
    "'talk-listener: listening on HOST:PORT'.\n";

constexpr char kName[] = "talk-listener: ";

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
    std::string name = arguments[i];
    std::string value;
    bool hasValue = false;
    std::size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    bool takesValue =
        name == "--host" || name == "--port" || name == "--count" || name == "--quiet";
    if (takesValue && !hasValue) {
      if (i + 1 >= arguments.size()) {
        *error = name + " needs a value";
        return false;
      }
      value = arguments[++i];
    } else if (!takesValue && hasValue) {
      *error = name + " takes no value";
      return false;
    }
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
    } else if (name == "--help") {
      options->help = true;
      return true;
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }
  return true;
}

std::vector<std::string> EspeakArguments(const TalkPacket& packet) {
  // espeak-ng's own normal values: 175 words a minute, amplitude 100, pitch 50.
  std::vector<std::string> arguments;
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
  bool speak = options.speak;
  if (speak && !SpeakerAvailable()) {
    err << kName << "espeak-ng is not installed here; showing packets without "
                    "speaking them\n";
    speak = false;
  }
  if (!StartSockets(&error)) {
    err << kName << error << "\n";
    return kExitListen;
  }
  int exitCode = kExitSuccess;
  {
    ListenSocket listener;
    if (!listener.Listen(options.host, options.port, &error)) {
      err << kName << error << "\n";
      exitCode = kExitListen;
    } else {
      err << kName << "listening on " << options.host << ":" << listener.port()
          << std::endl;
      if (onListening) onListening(listener.port());
      long shown = 0;
      while (options.count == 0 || shown < options.count) {
        if (stop != nullptr && stop->load()) break;
        Connection connection;
        ListenSocket::AcceptResult accepted = listener.Accept(200, &connection, &error);
        if (accepted == ListenSocket::AcceptResult::kTimedOut) continue;
        if (accepted == ListenSocket::AcceptResult::kFailed) {
          err << kName << error << std::endl;
          // A failure such as running out of descriptors would repeat at once.
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          continue;
        }
        std::string bytes;
        ReadEnd end = connection.ReadAll(kMaxConnectionBytes, options.quietMs, &bytes);
        Decoded decoded = DecodeConnection(bytes);
        decoded.cutShort = CutShortReason(end, options.quietMs);
        out << (options.json ? FormatJson(decoded) : FormatPlain(decoded)) << std::endl;
        ++shown;
        if (speak && decoded.hasText && !decoded.packet.text.empty() &&
            !Speak(EspeakArguments(decoded.packet), decoded.packet.text)) {
          err << kName << "espeak-ng failed to speak the text" << std::endl;
        }
      }
    }
  }
  StopSockets();
  return exitCode;
}

}  // namespace tools::talk_listener
