#include "talk_listener/packet_decoder.h"

#include <cstdio>

namespace tools::talk_listener {
namespace {

// The length of the valid UTF-8 sequence at `i`, or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length;
  std::uint32_t value;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    value = value << 6 | (byte(i + k) & 0x3Fu);
  }
  if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
      (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
    return 0;
  }
  return length;
}

std::string Hex(unsigned char byte, const char* format) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, byte);
  return buffer;
}

std::string QuotedText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += Hex(byte, "\\x%02X");
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

Decoded DecodeConnection(const std::string& bytes) {
  const speech::DecodedTalkPacket read = speech::DecodeTalkPacket(bytes.data(), bytes.size());
  Decoded decoded;
  decoded.received = bytes.size();
  decoded.problem = read.problem;
  decoded.hasHeader = read.hasHeader;
  decoded.hasText = read.hasText;
  if (!read.hasHeader) return decoded;
  TalkPacket& packet = decoded.packet;
  packet.command = read.entry.commandWord;
  packet.speed = read.entry.speed;
  packet.tone = read.entry.tone;
  packet.volume = read.entry.volume;
  packet.voice = read.entry.voice;
  packet.characterCode = read.characterCode;
  packet.length = read.length;
  packet.text = read.entry.text;
  return decoded;
}

std::string DescribeProblem(const Decoded& decoded) {
  switch (decoded.problem) {
    case Problem::kNone:
      return std::string();
    case Problem::kShortPacket:
      return "short packet: " + std::to_string(decoded.received) +
             " bytes, the header alone is " + std::to_string(kHeaderSize);
    case Problem::kNegativeLength:
      return "negative length field " + std::to_string(decoded.packet.length);
    case Problem::kLengthBeyondData:
      return "length field " + std::to_string(decoded.packet.length) +
             " is beyond the " + std::to_string(decoded.received - kHeaderSize) +
             " text bytes received";
    case Problem::kTrailingBytes:
    {
      std::size_t extra = decoded.received - kHeaderSize - decoded.packet.text.size();
      return std::to_string(extra) + (extra == 1 ? " byte" : " bytes") +
             " after the packet";
    }
  }
  return "unknown problem";
}

std::string FormatPlain(const Decoded& decoded) {
  std::string line;
  if (decoded.problem != Problem::kNone) {
    line = "malformed (" + DescribeProblem(decoded) + ")";
    if (!decoded.hasHeader) {
      if (!decoded.cutShort.empty()) line += " [cut short: " + decoded.cutShort + "]";
      return line;
    }
    line += ": ";
  }
  const TalkPacket& packet = decoded.packet;
  line += "command=" + std::to_string(packet.command) +
          " speed=" + std::to_string(packet.speed) +
          " tone=" + std::to_string(packet.tone) +
          " volume=" + std::to_string(packet.volume) +
          " voice=" + std::to_string(packet.voice) +
          " code=" + std::to_string(packet.characterCode) +
          " length=" + std::to_string(packet.length);
  if (decoded.hasText) line += " text=" + QuotedText(packet.text);
  if (!decoded.cutShort.empty()) line += " [cut short: " + decoded.cutShort + "]";
  return line;
}

std::string JsonEscape(const std::string& text, bool* valid) {
  *valid = true;
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      *valid = false;
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (length > 1) {
      // U+2028 and U+2029 are valid JSON but end lines in JavaScript.
      if (length == 3 && byte == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
          (static_cast<unsigned char>(text[i + 2]) & 0xFEu) == 0xA8) {
        out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      } else {
        out.append(text, i, length);
      }
      i += length;
      continue;
    }
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += Hex(byte, "\\u%04x");
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++i;
  }
  return out;
}

std::string FormatJson(const Decoded& decoded) {
  std::string json = "{";
  auto add = [&json](const std::string& key, const std::string& value) {
    if (json.size() > 1) json += ",";
    json += "\"" + key + "\":" + value;
  };
  bool valid = true;
  if (decoded.hasHeader) {
    const TalkPacket& packet = decoded.packet;
    add("command", std::to_string(packet.command));
    add("speed", std::to_string(packet.speed));
    add("tone", std::to_string(packet.tone));
    add("volume", std::to_string(packet.volume));
    add("voice", std::to_string(packet.voice));
    add("characterCode", std::to_string(packet.characterCode));
    add("length", std::to_string(packet.length));
    if (decoded.hasText) add("text", "\"" + JsonEscape(packet.text, &valid) + "\"");
  }
  if (decoded.problem != Problem::kNone) {
    bool ignored = true;
    add("error", "\"" + JsonEscape(DescribeProblem(decoded), &ignored) + "\"");
    add("received", std::to_string(decoded.received));
  }
  if (!decoded.cutShort.empty()) {
    bool ignored = true;
    add("cutShort", "\"" + JsonEscape(decoded.cutShort, &ignored) + "\"");
  }
  if (!valid) add("invalidUtf8", "true");
  return json + "}";
}

}  // namespace tools::talk_listener
