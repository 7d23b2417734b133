// The shape every answer of the pipeline must have, whatever the request was; used
// by the tests and the fuzz targets. Header-only so that both can take it.
#ifndef TOVARO_TESTS_SUPPORT_ANSWER_FORM_H_
#define TOVARO_TESTS_SUPPORT_ANSWER_FORM_H_

#include <string>

namespace test_support {

// True when `answer` is a complete SAORI/1.0 answer: a status line
// "SAORI/1.0 <code> <reason>", a "Charset: <charsetName>" line, a "Result: " line,
// further "key: value" lines, and an empty line that ends it; every line ended by
// CR LF, with no CR or LF anywhere else.
inline bool IsCompleteAnswer(const std::string& answer, const std::string& charsetName) {
  std::size_t position = 0;
  std::size_t lineNumber = 0;
  for (;;) {
    const std::size_t end = answer.find("\r\n", position);
    if (end == std::string::npos) return false;
    const std::string line = answer.substr(position, end - position);
    position = end + 2;
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    if (line.empty()) return lineNumber >= 3 && position == answer.size();

    if (lineNumber == 0) {
      const std::string version = "SAORI/1.0 ";
      if (line.compare(0, version.size(), version) != 0) return false;
      std::size_t digits = version.size();
      if (digits < line.size() && line[digits] == '-') ++digits;
      const std::size_t firstDigit = digits;
      while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
      if (digits == firstDigit || digits + 1 >= line.size() || line[digits] != ' ') {
        return false;
      }
    } else if (lineNumber == 1) {
      if (line != "Charset: " + charsetName) return false;
    } else if (lineNumber == 2) {
      if (line.compare(0, 8, "Result: ") != 0) return false;
    } else if (line.find(": ") == std::string::npos) {
      return false;
    }
    ++lineNumber;
  }
}

}  // namespace test_support

#endif  // TOVARO_TESTS_SUPPORT_ANSWER_FORM_H_
