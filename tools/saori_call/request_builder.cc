#include "saori_call/request_builder.h"

#include <cstddef>

namespace tools::saori_call {
namespace {

constexpr Charset kCharsets[] = {
    {"UTF-8", 65001},
    // Code page 932, the Microsoft variant: hosts on Windows write it.
    {"Shift_JIS", 932},
    {"EUC-JP", 20932},
    {"ISO-2022-JP", 50220},
};

struct Alias {
  const char* alias;
  const char* name;
};
constexpr Alias kAliases[] = {
    {"utf8", "UTF-8"}, {"sjis", "Shift_JIS"}, {"cp932", "Shift_JIS"},
    {"x-sjis", "Shift_JIS"}, {"euc", "EUC-JP"}, {"x-euc-jp", "EUC-JP"},
    {"jis", "ISO-2022-JP"},
};

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

const Charset* FindByName(const char* name) {
  for (const Charset& charset : kCharsets) {
    if (EqualsIgnoringAsciiCase(name, charset.name)) return &charset;
  }
  return nullptr;
}

}  // namespace

const Charset* FindCharset(const std::string& name) {
  for (const Charset& charset : kCharsets) {
    if (EqualsIgnoringAsciiCase(name, charset.name)) return &charset;
  }
  for (const Alias& alias : kAliases) {
    if (EqualsIgnoringAsciiCase(name, alias.alias)) return FindByName(alias.name);
  }
  return nullptr;
}

std::string KnownCharsetNames() {
  std::string names;
  for (const Charset& charset : kCharsets) {
    if (!names.empty()) names += ", ";
    names += charset.name;
  }
  return names;
}

std::string BuildRequest(const std::string& charsetName,
                         const std::vector<std::string>& arguments) {
  std::string text = "EXECUTE SAORI/1.0\r\n";
  text += "Charset: " + charsetName + "\r\n";
  text += "SecurityLevel: Local\r\n";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    text += "Argument" + std::to_string(i) + ": " + arguments[i] + "\r\n";
  }
  text += "\r\n";
  return text;
}

int FindUnsendableArgument(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::vector<std::string> SplitInteractiveLine(const std::string& line) {
  std::string rest = line;
  if (!rest.empty() && rest.back() == '\r') rest.pop_back();
  std::vector<std::string> words;
  if (rest.empty()) return words;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = rest.find('\t', start);
    if (tab == std::string::npos) {
      words.push_back(rest.substr(start));
      return words;
    }
    words.push_back(rest.substr(start, tab - start));
    start = tab + 1;
  }
}

}  // namespace tools::saori_call
