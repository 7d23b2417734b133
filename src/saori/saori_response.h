// One SAORI/1.0 answer under construction.
//
// Created by the pipeline for one request (status 500), filled by the plug-in's
// hooks, serialised once. Owns its strings, list and map; `owner` is not owned.
// Host thread only.
#ifndef TOVARO_SAORI_SAORI_RESPONSE_H_
#define TOVARO_SAORI_SAORI_RESPONSE_H_

#include <cstdint>
#include <vector>

#include "saori/saori_types.h"

namespace saori {

class CSAORIBase;

// The reason phrase of a status code; "Unknown Error" for codes without one.
const char16_t* ReasonPhrase(std::int32_t status);
// The name of a code page on the Charset line; "unknown charset" for others.
const char16_t* CharsetName(CodePage codePage);

class CSAORIResponse {
 public:
  CSAORIResponse(CSAORIBase* owner, CodePage codePage)
      : owner(owner), codePage(codePage) {}

  // The whole answer text, every line ended by CR LF. Rewrites `status` first:
  // 0 becomes 200; 200 with no result, values or options becomes 204. Exhausted
  // memory throws.
  WideString Serialize();

  CSAORIBase* owner;
  CodePage codePage;
  std::int32_t status = 500;
  WideString result;
  std::vector<WideString> values;
  OptionsMap options;
};

}  // namespace saori

#endif  // TOVARO_SAORI_SAORI_RESPONSE_H_
