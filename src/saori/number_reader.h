// Decimal readers for argument indices and script numbers.
//
// Like the run-time library's _wtoi and atoi: leading white space (blank, tab, LF,
// VT, FF, CR) is skipped, one optional sign is taken, then decimal digits up to the
// first other character; no digits give 0. Unlike those functions the result is
// defined on overflow: it stops at the nearer signed 32-bit limit. Thread-safe.
#ifndef TOVARO_SAORI_NUMBER_READER_H_
#define TOVARO_SAORI_NUMBER_READER_H_

#include <cstdint>

namespace saori {

// REQUIRES: text is NUL-terminated (not null).
std::int32_t ReadDecimal(const char16_t* text);
std::int32_t ReadDecimal(const char* text);

}  // namespace saori

#endif  // TOVARO_SAORI_NUMBER_READER_H_
