#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xfffd;

bool IsContinuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// The length of the sequence that `lead` begins, 0 when no sequence begins with it.
// F5 to FD begin the four-, five- and six-byte forms of the original UTF-8, whose
// values are all too large: refused once the whole sequence is there, but cut
// short at the end like any other, as the C library reads them.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf7) return 4;
  if (lead >= 0xf8 && lead <= 0xfb) return 5;
  if (lead >= 0xfc && lead <= 0xfd) return 6;
  return 0;
}

void AppendCodePoint(char32_t c, std::u16string& out) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
    return;
  }
  c -= 0x10000;
  out.push_back(static_cast<char16_t>(0xd800 + (c >> 10)));
  out.push_back(static_cast<char16_t>(0xdc00 + (c & 0x3ff)));
}

}  // namespace

void Utf8ToUtf16(const char* in, std::size_t size, std::u16string& out) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(in);
  out.reserve(out.size() + size);
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    const std::size_t length = SequenceLength(lead);
    std::size_t continuations = 1;
    while (continuations < length && i + continuations < size &&
           IsContinuation(bytes[i + continuations])) {
      ++continuations;
    }
    if (length != 0 && i + continuations == size && continuations < length) {
      out.push_back(kReplacement);  // cut short by the end: one for all of it
      return;
    }
    char32_t c = 0;
    if (length != 0 && continuations == length) {
      c = lead & (0x7f >> length);
      for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (bytes[i + k] & 0x3f);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    if (c == 0 || c < kSmallest[length] || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    AppendCodePoint(c, out);
    i += length;
  }
}

void Utf16ToUtf8(const char16_t* in, std::size_t size, std::string& out) {
  out.reserve(out.size() + size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    char32_t c = in[i];
    if (c >= 0xd800 && c <= 0xdfff) {
      const bool pair = c <= 0xdbff && i + 1 < size && in[i + 1] >= 0xdc00 &&
                        in[i + 1] <= 0xdfff;
      if (pair) {
        c = 0x10000 + ((c - 0xd800) << 10) + (in[i + 1] - 0xdc00);
        ++i;
      } else {
        c = kReplacement;
      }
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xc0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xe0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
      out.push_back(static_cast<char>(0xf0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
  }
}

}  // namespace platform
