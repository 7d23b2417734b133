// Code-page conversion primitives of the platform.
//
// Both functions follow the contract of the Windows converters called with flags 0
// and no default character: with `out` null and `outSize` 0 they return the number
// of output units the conversion needs; with a buffer they write the converted units
// and return how many they wrote. They return 0 for a code page the platform does
// not support, for input they refuse, and for a buffer that is too small. A
// character the target cannot hold is replaced, malformed input is replaced; neither
// makes the call fail.
//
// Windows: MultiByteToWideChar / WideCharToMultiByte, with our own ISO-2022-JP
// transform where the system refuses code page 50220 (Wine).
// POSIX: iconv; 932 is CP932, 20932 plain EUC-JP with EUC-JP-MS (where iconv has
// it) for what plain EUC-JP cannot convert, 50220 ISO-2022-JP through that same
// EUC-JP, 65001 UTF-8 and 1 the code set of the current locale (UTF-8 when the
// locale has none).
//
// Thread-safe: the only shared state, the converters that POSIX keeps open between
// conversions, is behind a lock.
#ifndef TOVARO_PLATFORM_CODE_PAGE_H_
#define TOVARO_PLATFORM_CODE_PAGE_H_

#include <cstdint>

namespace platform {

using CodePage = std::uint32_t;

constexpr CodePage kCodePageOem = 1;
constexpr CodePage kCodePageShiftJis = 932;
constexpr CodePage kCodePageEucJp = 20932;
constexpr CodePage kCodePageIso2022Jp = 50220;
constexpr CodePage kCodePageUtf8 = 65001;

// REQUIRES: inLength > 0; outSize >= 0; out is null exactly when outSize is 0.
int DecodeCodePage(CodePage codePage, const char* in, int inLength, char16_t* out,
                   int outSize);
int EncodeCodePage(CodePage codePage, const char16_t* in, int inLength, char* out,
                   int outSize);

}  // namespace platform

#endif  // TOVARO_PLATFORM_CODE_PAGE_H_
