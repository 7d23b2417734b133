// The request parser on arbitrary wide text (the input read as UTF-16 code units).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "saori/saori_request.h"
#include "speech/tovaro.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static speech::CTovaro* owner = new speech::CTovaro();

  saori::WideString text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(&text[0], data, text.size() * 2);

  saori::CSAORIRequest request(owner, 65001);
  request.command = u"before";
  request.arguments = {u"kept"};
  request.options[u"Kept"] = u"yes";
  request.id = u"id";

  if (request.Parse(text)) {
    FUZZ_CHECK(request.arguments.size() <=
               static_cast<std::size_t>(saori::kMaxArgumentIndex) + 1);
    FUZZ_CHECK(request.command.find_first_of(u"\r\n") == saori::WideString::npos);
    for (const auto& option : request.options) {
      FUZZ_CHECK(!option.first.empty());
      FUZZ_CHECK(option.first.find_first_of(u"\r\n") == saori::WideString::npos);
      FUZZ_CHECK(option.second.find_first_of(u"\r\n") == saori::WideString::npos);
    }
    for (const saori::WideString& argument : request.arguments) {
      FUZZ_CHECK(argument.find_first_of(u"\r\n") == saori::WideString::npos);
    }
  } else {
    // A refused text leaves the record as it was.
    FUZZ_CHECK(request.command == u"before");
    FUZZ_CHECK(request.arguments.size() == 1 && request.arguments[0] == u"kept");
    FUZZ_CHECK(request.options.size() == 1 && request.id == u"id");
  }
  return 0;
}
