#include "saori/number_reader.h"

namespace saori {
namespace {

// The magnitude of the most negative 32-bit number. The magnitude stops growing
// there, so it stays far inside 64 bits however many digits follow.
constexpr std::uint64_t kMagnitudeCap = 2147483648u;

template <typename Char>
bool IsBlank(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
std::int32_t ReadDecimalText(const Char* text) {
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '-' || *text == '+') {
    negative = *text == '-';
    ++text;
  }
  std::uint64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(*text - '0');
    if (magnitude > kMagnitudeCap) magnitude = kMagnitudeCap;
  }
  if (negative) {
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  return magnitude >= kMagnitudeCap ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

}  // namespace

std::int32_t ReadDecimal(const char16_t* text) { return ReadDecimalText(text); }

std::int32_t ReadDecimal(const char* text) { return ReadDecimalText(text); }

}  // namespace saori
