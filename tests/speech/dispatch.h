// Runs a plug-in command as the pipeline hands it over: an EXECUTE record in
// UTF-8 straight to Execute, and the answer's status, result and values.
#ifndef TOVARO_TESTS_SPEECH_DISPATCH_H_
#define TOVARO_TESTS_SPEECH_DISPATCH_H_

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "speech/tovaro.h"

namespace speech {

struct Answer {
  std::int32_t status;
  saori::WideString result;
  std::vector<saori::WideString> values;
};

// `staleResult` stands for what an earlier hook left in the response.
inline Answer Dispatch(CTovaro& tovaro, std::vector<saori::WideString> arguments,
                       const saori::WideString& staleResult = saori::WideString()) {
  saori::CSAORIRequest request(&tovaro, platform::kCodePageUtf8);
  request.command = u"EXECUTE";
  request.arguments = std::move(arguments);
  saori::CSAORIResponse response(&tovaro, platform::kCodePageUtf8);
  response.result = staleResult;
  tovaro.Execute(request, response);
  return Answer{response.status, response.result, response.values};
}

inline std::int32_t Status(CTovaro& tovaro, std::vector<saori::WideString> arguments) {
  return Dispatch(tovaro, std::move(arguments)).status;
}

}  // namespace speech

#endif  // TOVARO_TESTS_SPEECH_DISPATCH_H_
