// Charset detection on arbitrary request bytes: always one of the four charsets.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "saori/charset_detection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const saori::CodePage codePage = saori::DetectCodePage(bytes);
  FUZZ_CHECK(
      codePage == platform::kCodePageShiftJis || codePage == platform::kCodePageEucJp ||
      codePage == platform::kCodePageIso2022Jp || codePage == platform::kCodePageUtf8);
  return 0;
}
