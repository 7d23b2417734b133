// Reading a module's answer for people, and saori-call's exit codes.
//
// Pure functions, thread-safe.
#ifndef TOVARO_TOOLS_SAORI_CALL_ANSWER_READER_H_
#define TOVARO_TOOLS_SAORI_CALL_ANSWER_READER_H_

#include <string>
#include <utility>
#include <vector>

namespace tools::saori_call {

// saori-call's exit codes. When several calls end differently, the largest wins.
enum ExitCode : int {
  kExitSuccess = 0,       // every answer had a 2xx status
  kExitStatus = 1,        // some answer had another status
  kExitUsage = 2,         // bad command line, unreadable file, text not convertible
  kExitModule = 3,        // the module could not be opened or lacks an export
  kExitNotSaori = 4,      // an answer was missing or was not SAORI/1.0
};

struct Answer {
  bool isSaori = false;    // the first line is 'SAORI/1.0 <code> <phrase>'
  std::string firstLine;   // as received, without its line end
  int status = 0;
  std::string phrase;
  bool hasResult = false;
  std::string result;
  // Value lines by index, in the order received.
  std::vector<std::pair<long, std::string>> values;
  // Every other header line (Charset included), in the order received.
  std::vector<std::pair<std::string, std::string>> headers;
};

// Parses answer text. Lines may end in CR LF or LF; the text ends at its first empty
// line. Lines without ': ' are kept as headers with an empty value.
Answer ParseAnswer(const std::string& text);

// The value of the answer's Charset line, or empty. Looked up in the raw bytes, so
// that the rest can be decoded with it.
std::string FindAnswerCharset(const std::string& text);

// The answer as lines for a terminal: 'status: 200 OK', 'Result: ...', each
// 'ValueN: ...', then the other headers. Control characters are shown as \xNN
// (a value's line breaks arrive as \x01). Not for answers that are not SAORI/1.0.
std::string FormatAnswer(const Answer& answer);

// The exit code that one answer calls for.
ExitCode ExitCodeFor(const Answer& answer);
// The one to report after `a` and `b`.
ExitCode WorseOf(ExitCode a, ExitCode b);

// `text` with control characters and DEL written as \xNN, for one line of output.
std::string Printable(const std::string& text);

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_ANSWER_READER_H_
