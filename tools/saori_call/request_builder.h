// The request text that saori-call sends, and the charsets it can write it in.
//
// Pure functions, thread-safe.
#ifndef TOVARO_TOOLS_SAORI_CALL_REQUEST_BUILDER_H_
#define TOVARO_TOOLS_SAORI_CALL_REQUEST_BUILDER_H_

#include <string>
#include <vector>

namespace tools::saori_call {

// A charset a request can be written in.
struct Charset {
  const char* name;       // as written on the Charset line
  unsigned codePage;      // the code page the module's converters take
};

// The charset named `name` (letter case ignored; "SJIS" and "EUC" style aliases
// accepted), or null when saori-call does not know it.
const Charset* FindCharset(const std::string& name);
// The names FindCharset knows, comma-separated, for messages.
std::string KnownCharsetNames();

// The EXECUTE request: 'EXECUTE SAORI/1.0', 'Charset: NAME', 'SecurityLevel: Local',
// one 'ArgumentN: ...' line per argument, an empty line; every line ends in CR LF.
// `arguments` are already in the charset. REQUIRES: no argument holds CR, LF or NUL
// (see FindUnsendableArgument).
std::string BuildRequest(const std::string& charsetName,
                         const std::vector<std::string>& arguments);

// The index of the first argument holding CR, LF or NUL, which would end or cut its
// header line; -1 when every argument can be sent.
int FindUnsendableArgument(const std::vector<std::string>& arguments);

// One line of --interactive input split into words at each tab. Blanks belong to the
// words, so text with blanks needs no quoting; two tabs in a row give an empty
// word. A CR at the end (a line from a Windows file) is dropped. An empty line gives
// no words.
std::vector<std::string> SplitInteractiveLine(const std::string& line);

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_REQUEST_BUILDER_H_
