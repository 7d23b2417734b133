// One parsed SAORI/1.0 request.
//
// Created by the pipeline for one request with its owner and code page, parsed once,
// read and written by the plug-in's hooks, destroyed when the answer is built.
// Owns its strings, list and map; `owner` is not owned. Host thread only.
#ifndef TOVARO_SAORI_SAORI_REQUEST_H_
#define TOVARO_SAORI_SAORI_REQUEST_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "saori/saori_types.h"

namespace saori {

class CSAORIBase;

// Argument lines with a higher index are dropped like those with a negative one,
// so that one line cannot make the argument list grow without bound.
constexpr std::int32_t kMaxArgumentIndex = 4095;

// "No position" for ReadLine.
constexpr std::size_t kNoPosition = WideString::npos;

// Stores in `line` the line of `text` that starts at `position` (without its line
// end: CR LF, CR or LF) and returns where the next line starts, or kNoPosition when
// nothing follows. A position of kNoPosition or past the end gives an empty line
// and kNoPosition.
std::size_t ReadLine(const WideString& text, std::size_t position, WideString& line);

class CSAORIRequest {
 public:
  CSAORIRequest(CSAORIBase* owner, CodePage codePage)
      : owner(owner), codePage(codePage) {}

  // Parses the whole decoded request. True when the first line holds the owner's
  // first-line marker: command, arguments, options and id are then replaced. False
  // leaves the record exactly as it was. Exhausted memory throws.
  bool Parse(const WideString& text);

  CSAORIBase* owner;
  CodePage codePage;
  WideString command;
  WideString id;
  std::vector<WideString> arguments;
  OptionsMap options;
};

}  // namespace saori

#endif  // TOVARO_SAORI_SAORI_REQUEST_H_
