// Conversions between wide (UTF-16) text and byte strings in a code page.
//
// Both read their input up to its first NUL, call the platform converter twice (size,
// then conversion into an exact, zero-filled scratch buffer) and return a new string
// owned by the caller. Null, empty or unconvertible input and an unsupported code
// page give an empty result, never an error. Exhausted memory throws
// std::bad_alloc. Thread-safe.
#ifndef TOVARO_SAORI_TEXT_CONVERSION_H_
#define TOVARO_SAORI_TEXT_CONVERSION_H_

#include "saori/saori_types.h"

namespace saori {

ByteString WideToMultiByte(const char16_t* text, CodePage codePage);
WideString MultiByteToWide(const char* text, CodePage codePage);

}  // namespace saori

#endif  // TOVARO_SAORI_TEXT_CONVERSION_H_
