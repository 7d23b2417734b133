// Letter-case-free comparison of protocol words. The words compared this way are all
// ASCII, so only A-Z and a-z fold; every other unit must match exactly.
#ifndef TOVARO_SAORI_ASCII_CASE_H_
#define TOVARO_SAORI_ASCII_CASE_H_

#include <cstddef>

#include "saori/saori_types.h"

namespace saori {

// True when the first `length` units of `text` equal `word` without regard to ASCII
// letter case. REQUIRES: text.size() >= length and word.size() >= length.
bool StartsWithIgnoringAsciiCase(const WideString& text, const WideString& word,
                                 std::size_t length);
// True when `text` and `word` are equal as a whole without regard to ASCII case.
bool EqualsIgnoringAsciiCase(const WideString& text, const WideString& word);

}  // namespace saori

#endif  // TOVARO_SAORI_ASCII_CASE_H_
