// ISO-2022-JP <-> EUC-JP, a stateless byte transform of our own.
//
// Used where the system converter refuses code page 50220 but handles 20932, so
// that ISO-2022-JP text is carried through EUC-JP. It covers ASCII, JIS X 0201
// Roman and katakana, and JIS X 0208 (ESC ( B, ESC ( J, ESC ( I, ESC $ @, ESC $ B).
// Bytes it cannot place are passed through or replaced so that the rest of the
// text still converts; it never fails. Compiled on every platform so that it is
// tested natively too.
//
// Thread-safe: pure functions.
#ifndef TOVARO_PLATFORM_ISO2022JP_H_
#define TOVARO_PLATFORM_ISO2022JP_H_

#include <string>

namespace platform {

std::string Iso2022JpToEucJp(const std::string& iso);
// Ends in ASCII mode (a final ESC ( B when the text left it).
std::string EucJpToIso2022Jp(const std::string& euc);

}  // namespace platform

#endif  // TOVARO_PLATFORM_ISO2022JP_H_
