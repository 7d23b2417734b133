#include "saori_call/charset_conversion.h"

#include "platform/code_page.h"
#include "platform/loaded_module.h"
#include "saori/text_conversion.h"

namespace tools::saori_call {
namespace {

// The converters read up to the first NUL; request words and answers hold none.
saori::WideString Decode(const std::string& text, unsigned codePage) {
  return saori::MultiByteToWide(text.c_str(), codePage);
}

std::string Encode(const saori::WideString& text, unsigned codePage) {
  return saori::WideToMultiByte(text.c_str(), codePage);
}

}  // namespace

bool CharsetAvailable(const Charset& charset, std::string* error) {
  if (!Decode("A", charset.codePage).empty()) return true;
  *error = std::string("this system has no converter for ") + charset.name;
  return false;
}

bool ConvertFromUtf8(const Charset& charset, const std::string& text, std::string* out,
                     std::string* error) {
  if (charset.codePage == platform::kCodePageUtf8 || text.empty()) {
    *out = text;
    return true;
  }
  if (!CharsetAvailable(charset, error)) return false;
  // The converters replace what they can't take; a round trip shows whether they had
  // to.
  const saori::WideString wide = Decode(text, platform::kCodePageUtf8);
  if (Encode(wide, platform::kCodePageUtf8) != text) {
    *error = "the text is not valid UTF-8";
    return false;
  }
  std::string bytes = Encode(wide, charset.codePage);
  if (bytes.empty() || Decode(bytes, charset.codePage) != wide) {
    *error = std::string("the text can't be written in ") + charset.name;
    return false;
  }
  *out = bytes;
  return true;
}

bool ConvertToUtf8(const Charset& charset, const std::string& text, std::string* out) {
  if (charset.codePage == platform::kCodePageUtf8 || text.empty()) {
    *out = text;
    return true;
  }
  const saori::WideString wide = Decode(text, charset.codePage);
  if (wide.empty()) return false;
  *out = Encode(wide, platform::kCodePageUtf8);
  return true;
}

bool ModuleDirectory(const std::string& path, std::string* directory,
                     std::string* error) {
  std::string full;
  if (!platform::AbsolutePath(path, &full, error)) return false;
  const std::size_t separator = full.find_last_of("\\/");
  if (separator == std::string::npos) {
    *error = "the path can't be resolved";
    return false;
  }
  *directory = full.substr(0, separator + 1);
  return true;
}

std::string DirectoryForLoad(const std::string& directory) {
  if (directory.empty()) return directory;
  return Encode(Decode(directory, platform::kCodePageUtf8), platform::kCodePageOem);
}

}  // namespace tools::saori_call
