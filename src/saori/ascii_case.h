// Letter-case-free comparison of protocol words. The words compared this way are all
// ASCII, so only A-Z and a-z fold; every other unit must match exactly.
#ifndef TOVARO_SAORI_ASCII_CASE_H_
#define TOVARO_SAORI_ASCII_CASE_H_

#include <string_view>

namespace saori {

// True when `text` and `word` are equal as a whole without regard to ASCII case.
bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view word);

}  // namespace saori

#endif  // TOVARO_SAORI_ASCII_CASE_H_
