#include "platform/iso2022jp.h"

#include <cstddef>

namespace platform {

namespace {

enum class Mode { kAscii, kKatakana, kKanji };

constexpr char kEscape = '\x1b';

bool IsJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7e; }
bool IsEucByte(unsigned char c) { return c >= 0xa1 && c <= 0xfe; }
bool IsKatakanaByte(unsigned char c) { return c >= 0x21 && c <= 0x5f; }

// The mode an escape sequence at `pos` selects, and its length; 0 when `pos` does
// not start a sequence we know.
std::size_t ReadEscape(const std::string& iso, std::size_t pos, Mode* mode) {
  const std::string rest = iso.substr(pos, 3);
  if (rest == "\x1b(B" || rest == "\x1b(J") {
    *mode = Mode::kAscii;
  } else if (rest == "\x1b(I") {
    *mode = Mode::kKatakana;
  } else if (rest == "\x1b$@" || rest == "\x1b$B") {
    *mode = Mode::kKanji;
  } else {
    return 0;
  }
  return 3;
}

}  // namespace

std::string Iso2022JpToEucJp(const std::string& iso) {
  std::string euc;
  euc.reserve(iso.size());
  Mode mode = Mode::kAscii;
  std::size_t i = 0;
  while (i < iso.size()) {
    const unsigned char c = static_cast<unsigned char>(iso[i]);
    if (c == kEscape) {
      if (const std::size_t length = ReadEscape(iso, i, &mode)) {
        i += length;
        continue;
      }
    }
    if (c >= 0x80) {
      // Eight-bit bytes have no place in a seven-bit code.
      euc += '?';
    } else if (mode == Mode::kAscii || !IsJisByte(c)) {
      // Controls and spaces keep their meaning in every mode.
      euc += static_cast<char>(c);
    } else if (mode == Mode::kKatakana) {
      if (IsKatakanaByte(c)) {
        euc += '\x8e';
        euc += static_cast<char>(c | 0x80);
      } else {
        euc += '?';
      }
    } else if (i + 1 < iso.size() && IsJisByte(static_cast<unsigned char>(iso[i + 1]))) {
      euc += static_cast<char>(c | 0x80);
      euc += static_cast<char>(iso[i + 1] | 0x80);
      ++i;
    } else {
      // Half of a two-byte character: truncated or broken.
      euc += '?';
    }
    ++i;
  }
  return euc;
}

std::string EucJpToIso2022Jp(const std::string& euc) {
  std::string iso;
  iso.reserve(euc.size() + 8);
  Mode mode = Mode::kAscii;
  const auto enter = [&iso, &mode](Mode next) {
    if (mode == next) return;
    mode = next;
    iso += next == Mode::kAscii      ? "\x1b(B"
           : next == Mode::kKatakana ? "\x1b(I"
                                     : "\x1b$B";
  };
  const auto byteAt = [&euc](std::size_t pos) -> unsigned char {
    return pos < euc.size() ? static_cast<unsigned char>(euc[pos]) : 0;
  };
  std::size_t i = 0;
  while (i < euc.size()) {
    const unsigned char c = byteAt(i);
    if (c < 0x80) {
      enter(Mode::kAscii);
      iso += static_cast<char>(c);
      i += 1;
    } else if (c == 0x8e && byteAt(i + 1) >= 0xa1 && byteAt(i + 1) <= 0xdf) {
      enter(Mode::kKatakana);
      iso += static_cast<char>(byteAt(i + 1) & 0x7f);
      i += 2;
    } else if (c == 0x8f && IsEucByte(byteAt(i + 1)) && IsEucByte(byteAt(i + 2))) {
      // JIS X 0212 has no place in this form of the code: one replacement.
      enter(Mode::kAscii);
      iso += '?';
      i += 3;
    } else if (IsEucByte(c) && IsEucByte(byteAt(i + 1))) {
      enter(Mode::kKanji);
      iso += static_cast<char>(c & 0x7f);
      iso += static_cast<char>(byteAt(i + 1) & 0x7f);
      i += 2;
    } else {
      enter(Mode::kAscii);
      iso += '?';
      i += 1;
    }
  }
  enter(Mode::kAscii);
  return iso;
}

}  // namespace platform
