#include "saori/charset_detection.h"

#include <cstring>

namespace saori {
namespace {

// A line feed, then the key and one blank: a charset line anywhere after the first.
constexpr char kNeedle[] = "\ncharset: ";

struct CharsetPrefix {
  const char* name;  // lower case, as the copy it is compared with
  CodePage codePage;
};

// Tested in this order; the first prefix that matches decides.
constexpr CharsetPrefix kCharsetPrefixes[] = {
    {"shift_jis", platform::kCodePageShiftJis},
    {"x-sjis", platform::kCodePageShiftJis},
    {"iso-2022-jp", platform::kCodePageIso2022Jp},
    {"euc-jp", platform::kCodePageEucJp},
    {"x-euc-jp", platform::kCodePageEucJp},
    // Some script engines spell the name with an underscore; read as Shift_JIS, every
    // Japanese character of such a request would reach the speech server garbled.
    {"euc_jp", platform::kCodePageEucJp},
    {"x-euc_jp", platform::kCodePageEucJp},
    {"utf-8", platform::kCodePageUtf8},
};

}  // namespace

CodePage DetectCodePage(const ByteString& requestBytes) {
  ByteString lowered = requestBytes;
  for (char& byte : lowered) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
  }

  const std::size_t found = lowered.find(kNeedle);
  if (found == ByteString::npos) return platform::kCodePageShiftJis;

  const std::size_t valueStart = found + sizeof(kNeedle) - 1;
  for (const CharsetPrefix& prefix : kCharsetPrefixes) {
    if (lowered.compare(valueStart, std::strlen(prefix.name), prefix.name) == 0) {
      return prefix.codePage;
    }
  }
  // Nothing after the needle, a NUL, or a name we don't know.
  return platform::kCodePageShiftJis;
}

}  // namespace saori
