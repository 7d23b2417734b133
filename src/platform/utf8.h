// UTF-8 to and from UTF-16 without the C library's converter, for the code page
// nearly every request uses: iconv takes that road in two steps through UCS-4, and
// each request converts several times. What malformed input becomes is what the
// POSIX conversion around iconv makes of it, so the two roads give the same text.
//
// Plain functions on the caller's buffers; thread-safe.
#ifndef TOVARO_PLATFORM_UTF8_H_
#define TOVARO_PLATFORM_UTF8_H_

#include <cstddef>
#include <string>

namespace platform {

// Appends the UTF-16 units of the `size` UTF-8 bytes at `in` to `out`. A byte that
// does not begin a well-formed character (overlong forms, surrogates and values
// past U+10FFFF included) becomes one U+FFFD and the next byte is looked at; a
// sequence cut short by the end of the input becomes one U+FFFD as a whole.
void Utf8ToUtf16(const char* in, std::size_t size, std::u16string& out);

// Appends the UTF-8 bytes of the `size` UTF-16 units at `in` to `out`. A surrogate
// that is not part of a pair becomes the three bytes of U+FFFD.
void Utf16ToUtf8(const char16_t* in, std::size_t size, std::string& out);

}  // namespace platform

#endif  // TOVARO_PLATFORM_UTF8_H_
