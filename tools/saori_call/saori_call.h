// saori-call: loads a SAORI/1.0 module as a host does, sends it EXECUTE requests and
// prints the answers. main() hands its arguments and streams to RunSaoriCall, so the
// whole tool can be driven from tests.
#ifndef TOVARO_TOOLS_SAORI_CALL_SAORI_CALL_H_
#define TOVARO_TOOLS_SAORI_CALL_SAORI_CALL_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "saori_call/request_builder.h"

namespace tools::saori_call {

struct Options {
  const Charset* charset = nullptr;  // UTF-8 unless --charset
  bool raw = false;
  std::string rawFile;
  long repeat = 1;
  bool interactive = false;
  bool forceLoad = false;      // --load: call load even when loadu exists
  double waitSeconds = 0;      // --wait; 0: unload at once
  bool status = false;         // --status: show GetStatus's answer before unloading
  bool help = false;
  bool version = false;
  std::string module;
  std::vector<std::string> words;  // COMMAND and ARGs, UTF-8
};

// Reads the command line (arguments after the program name). Options come before
// MODULE; everything after it is COMMAND and ARGs, so an argument such as "-1" needs
// no escaping. False, with the reason in `error`, on a malformed command line.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options,
                  std::string* error);

// Runs the tool; returns its exit code (see ExitCode). Answers go to `out`, problems
// to `err`; --interactive reads `in`.
int RunSaoriCall(const std::vector<std::string>& arguments, std::istream& in,
                 std::ostream& out, std::ostream& err);

// The usage text.
const char* UsageText();

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_SAORI_CALL_H_
