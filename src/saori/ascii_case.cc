#include "saori/ascii_case.h"

namespace saori {
namespace {

char16_t FoldAscii(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit - u'A' + u'a')
                                         : unit;
}

}  // namespace

bool StartsWithIgnoringAsciiCase(const WideString& text, const WideString& word,
                                 std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (FoldAscii(text[i]) != FoldAscii(word[i])) return false;
  }
  return true;
}

bool EqualsIgnoringAsciiCase(const WideString& text, const WideString& word) {
  return text.size() == word.size() &&
         StartsWithIgnoringAsciiCase(text, word, text.size());
}

}  // namespace saori
