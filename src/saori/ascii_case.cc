#include "saori/ascii_case.h"

#include <cstddef>

namespace saori {
namespace {

char16_t FoldAscii(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit - u'A' + u'a')
                                         : unit;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(word[i])) return false;
  }
  return true;
}

}  // namespace saori
