// Request bytes through the whole pipeline into the real plug-in, with no worker
// running: every input must come back as a complete answer in the detected charset.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "saori/charset_detection.h"
#include "saori/request_pipeline.h"
#include "saori/saori_response.h"
#include "speech/tovaro.h"
#include "support/answer_form.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Never loaded, so AddQueue is refused instead of starting deliveries.
  static speech::CTovaro* plugin = new speech::CTovaro();

  const std::string request(reinterpret_cast<const char*>(data), size);
  const std::string answer = saori::ProcessRequest(*plugin, request);

  std::string charsetName;
  for (const char16_t* c = saori::CharsetName(saori::DetectCodePage(request)); *c; ++c) {
    charsetName.push_back(static_cast<char>(*c));
  }
  FUZZ_CHECK(test_support::IsCompleteAnswer(answer, charsetName));
  FUZZ_CHECK(plugin->requestCounter >= 1);
  FUZZ_CHECK(plugin->QueueLength() == 0);
  return 0;
}
