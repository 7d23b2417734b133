#include "saori_call/answer_reader.h"

#include <cstddef>
#include <cstdio>

namespace tools::saori_call {
namespace {

constexpr char kVersion[] = "SAORI/1.0 ";

// Splits at each LF, dropping a CR before it; stops at the first empty line.
std::vector<std::string> HeaderBlockLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos
                                                                    : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 'SAORI/1.0 <code> <phrase>', the code possibly negative (a plug-in may set one).
bool ParseStatusLine(const std::string& line, int* status, std::string* phrase) {
  if (line.compare(0, sizeof kVersion - 1, kVersion) != 0) return false;
  std::size_t i = sizeof kVersion - 1;
  bool negative = false;
  if (i < line.size() && line[i] == '-') {
    negative = true;
    ++i;
  }
  std::size_t digitsStart = i;
  long long value = 0;
  while (i < line.size() && IsDigit(line[i])) {
    if (value < 10000000000LL) value = value * 10 + (line[i] - '0');
    ++i;
  }
  if (i == digitsStart || i - digitsStart > 10) return false;
  if (negative) value = -value;
  if (value < -2147483647LL - 1 || value > 2147483647LL) return false;
  if (i < line.size() && line[i] != ' ') return false;
  *status = static_cast<int>(value);
  *phrase = i < line.size() ? line.substr(i + 1) : std::string();
  return true;
}

// "Value" followed by decimal digits only.
bool ParseValueKey(const std::string& key, long* index) {
  static const std::string kPrefix = "Value";
  if (key.size() <= kPrefix.size() || key.compare(0, kPrefix.size(), kPrefix) != 0) {
    return false;
  }
  if (key.size() - kPrefix.size() > 9) return false;
  long value = 0;
  for (std::size_t i = kPrefix.size(); i < key.size(); ++i) {
    if (!IsDigit(key[i])) return false;
    value = value * 10 + (key[i] - '0');
  }
  *index = value;
  return true;
}

}  // namespace

Answer ParseAnswer(const std::string& text) {
  Answer answer;
  std::vector<std::string> lines = HeaderBlockLines(text);
  if (lines.empty()) return answer;
  answer.firstLine = lines[0];
  answer.isSaori = ParseStatusLine(lines[0], &answer.status, &answer.phrase);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::size_t colon = line.find(": ");
    std::string key = colon == std::string::npos ? line : line.substr(0, colon);
    std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 2);
    long index = 0;
    if (key == "Result") {
      answer.hasResult = true;
      answer.result = value;
    } else if (ParseValueKey(key, &index)) {
      answer.values.emplace_back(index, value);
    } else {
      answer.headers.emplace_back(key, value);
    }
  }
  return answer;
}

std::string FindAnswerCharset(const std::string& text) {
  for (const std::string& line : HeaderBlockLines(text)) {
    if (line.compare(0, 9, "Charset: ") == 0) return line.substr(9);
  }
  return std::string();
}

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatAnswer(const Answer& answer) {
  std::string out = "status: " + std::to_string(answer.status);
  if (!answer.phrase.empty()) out += " " + Printable(answer.phrase);
  out += "\n";
  if (answer.hasResult) out += "Result: " + Printable(answer.result) + "\n";
  for (const auto& value : answer.values) {
    out += "Value" + std::to_string(value.first) + ": " + Printable(value.second) + "\n";
  }
  for (const auto& header : answer.headers) {
    out += Printable(header.first) + ": " + Printable(header.second) + "\n";
  }
  return out;
}

ExitCode ExitCodeFor(const Answer& answer) {
  if (!answer.isSaori) return kExitNotSaori;
  if (answer.status >= 200 && answer.status <= 299) return kExitSuccess;
  return kExitStatus;
}

ExitCode WorseOf(ExitCode a, ExitCode b) { return a > b ? a : b; }

}  // namespace tools::saori_call
