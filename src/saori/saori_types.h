// Text and map types shared by the whole frame.
#ifndef TOVARO_SAORI_SAORI_TYPES_H_
#define TOVARO_SAORI_SAORI_TYPES_H_

#include <map>
#include <string>

#include "platform/code_page.h"

namespace saori {

// UTF-16 text on every platform: the form of all protocol text between decoding
// and encoding.
using WideString = std::u16string;
// Text in one code page, or raw bytes.
using ByteString = std::string;
using CodePage = platform::CodePage;

// Header options of requests and responses. std::less over char16_t compares code
// units as unsigned 16-bit numbers, a prefix ordering first: ordinal UTF-16 order.
// Keys are case-sensitive.
using OptionsMap = std::map<WideString, WideString>;

}  // namespace saori

#endif  // TOVARO_SAORI_SAORI_TYPES_H_
