// saori-call's text in and out of a request's charset, through the module's own
// converters, and the directory handed to load.
//
// Thread-safe. Texts are UTF-8 unless a charset is named.
#ifndef TOVARO_TOOLS_SAORI_CALL_CHARSET_CONVERSION_H_
#define TOVARO_TOOLS_SAORI_CALL_CHARSET_CONVERSION_H_

#include <string>

#include "saori_call/request_builder.h"

namespace tools::saori_call {

// True when this system can convert between UTF-8 and `charset`; else false with
// the reason in `error`.
bool CharsetAvailable(const Charset& charset, std::string* error);
// UTF-8 `text` written in `charset`. False, with the reason in `error`, when this
// system has no converter for it, the text is not UTF-8 or a character of it can't
// be written in the charset.
bool ConvertFromUtf8(const Charset& charset, const std::string& text, std::string* out,
                     std::string* error);
// `text` in `charset` as UTF-8. False when it can't be converted.
bool ConvertToUtf8(const Charset& charset, const std::string& text, std::string* out);

// The absolute directory of the file at `path`, ending in the separator. False,
// with the reason in `error`, when the path can't be resolved.
bool ModuleDirectory(const std::string& path, std::string* directory,
                     std::string* error);
// `directory` in the bytes `load` expects: the system's OEM code page.
std::string DirectoryForLoad(const std::string& directory);

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_CHARSET_CONVERSION_H_
