#include "saori/text_conversion.h"

#include <climits>
#include <cstddef>
#include <string>

namespace saori {

namespace {

// The platform converters take int lengths; longer text is more than they can take
// in one call, and we report it as unconvertible rather than cut it at a point that
// may split a character.
bool FitsInt(std::size_t length) { return length <= static_cast<std::size_t>(INT_MAX); }

}  // namespace

ByteString WideToMultiByte(const char16_t* text, CodePage codePage) {
  if (text == nullptr || text[0] == u'\0') return ByteString();
  const std::size_t length = std::char_traits<char16_t>::length(text);
  if (!FitsInt(length)) return ByteString();
  const int inLength = static_cast<int>(length);
  const int size = platform::EncodeCodePage(codePage, text, inLength, nullptr, 0);
  if (size <= 0) return ByteString();
  ByteString result(static_cast<std::size_t>(size), '\0');
  const int written =
      platform::EncodeCodePage(codePage, text, inLength, &result[0], size);
  if (written <= 0 || written > size) return ByteString();
  result.resize(static_cast<std::size_t>(written));
  return result;
}

WideString MultiByteToWide(const char* text, CodePage codePage) {
  if (text == nullptr || text[0] == '\0') return WideString();
  const std::size_t length = std::char_traits<char>::length(text);
  if (!FitsInt(length)) return WideString();
  const int inLength = static_cast<int>(length);
  const int size = platform::DecodeCodePage(codePage, text, inLength, nullptr, 0);
  if (size <= 0) return WideString();
  WideString result(static_cast<std::size_t>(size), u'\0');
  const int written =
      platform::DecodeCodePage(codePage, text, inLength, &result[0], size);
  if (written <= 0 || written > size) return WideString();
  result.resize(static_cast<std::size_t>(written));
  return result;
}

}  // namespace saori
