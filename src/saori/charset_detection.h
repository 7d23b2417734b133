// Finds a request's code page from its raw bytes.
#ifndef TOVARO_SAORI_CHARSET_DETECTION_H_
#define TOVARO_SAORI_CHARSET_DETECTION_H_

#include "saori/saori_types.h"

namespace saori {

// The value after the first line feed followed by "charset: " (ASCII letters in any
// case), tested as a prefix: 50220 for iso-2022-jp, 20932 for euc-jp, x-euc-jp,
// euc_jp and x-euc_jp, 65001 for utf-8, 932 for everything else and when there is
// no such line. Looks at the bytes only; thread-safe.
CodePage DetectCodePage(const ByteString& requestBytes);

}  // namespace saori

#endif  // TOVARO_SAORI_CHARSET_DETECTION_H_
