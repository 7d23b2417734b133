// A stand-in SAORI module for saori-call's tests. It records every call in a log
// that the test reads through the extra export fake_log, and answers by Argument0:
//   echo ARG...    200, Result: the number of arguments, ValueN: each of them
// Answers name the request's charset and carry its bytes back unchanged.
//   status N       an answer with status N
//   pending N      later bare requests answer Result N, N-1, ..., 0; so does
//                  GetStatus, whose Value1 (under way) stays 1 for one answer more
//   GetStatus      200 as tovaro answers it: Result pending, Value0 255, Value1 under
//                  way, Value2 delivered 4, Value3 dropped 1, Value4 refused and
//                  two sentences
//   nostatus       GetStatus answers 400 from now on, as a module without it does
//   sjis           200 with a Shift_JIS answer whose Result is the two kanji 日本
//   garbage        an answer that is not SAORI/1.0
//   null           no answer block at all
// A bare request (no Argument0) answers 200 with the pending count as its Result.
// Built three times: complete, without loadu, and without request.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host_memory.h"
#include "module/saori_exports.h"

namespace test_support {
namespace {

std::string gLog;
long gPending = 0;
bool gUnderWay = false;
bool gKnowsStatus = true;
// The charset the last request named, so that the answer is written in it too.
std::string gCharset = "UTF-8";

// The block's bytes; the block is freed, as a module must.
std::string TakeBlock(void* block, long length) {
  std::string bytes;
  if (block != nullptr && length > 0) {
    bytes.assign(static_cast<const char*>(block), static_cast<std::size_t>(length));
  }
  platform::FreeHostBlock(block);
  return bytes;
}

#if !defined(FAKE_WITHOUT_REQUEST)
// Argument lines in order of their index (no gaps expected); notes the charset.
std::vector<std::string> Arguments(const std::string& request) {
  std::vector<std::string> arguments;
  gCharset = "UTF-8";
  for (std::size_t start = 0; start < request.size();) {
    std::size_t end = request.find("\r\n", start);
    if (end == std::string::npos) end = request.size();
    std::string line = request.substr(start, end - start);
    if (line.compare(0, 9, "Charset: ") == 0) gCharset = line.substr(9);
    std::string key = "Argument" + std::to_string(arguments.size()) + ": ";
    if (line.compare(0, key.size(), key) == 0) arguments.push_back(line.substr(key.size()));
    start = end + 2;
  }
  return arguments;
}

std::string Answer(int status, const std::string& result,
                   const std::vector<std::string>& values) {
  std::string text = "SAORI/1.0 " + std::to_string(status) + " Test Phrase\r\n";
  text += "Charset: " + gCharset + "\r\nResult: " + result + "\r\n";
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += "Value" + std::to_string(i) + ": " + values[i] + "\r\n";
  }
  return text + "X-Fake: yes\r\n\r\n";
}

void* Block(const std::string& answer, long* length) {
  *length = static_cast<long>(answer.size());
  void* block = platform::AllocateHostBlock(answer.size() + 1);
  if (block == nullptr) return nullptr;
  std::memcpy(block, answer.c_str(), answer.size() + 1);
  return block;
}

#endif

int Load(const char* name, void* block, long length) {
  gLog += std::string(name) + "(" + TakeBlock(block, length) + ")\n";
  return 1;
}

}  // namespace
}  // namespace test_support

using test_support::gLog;

TOVARO_EXPORT int TOVARO_CDECL load(void* h, long len) {
  return test_support::Load("load", h, len);
}

#if !defined(FAKE_WITHOUT_LOADU)
TOVARO_EXPORT int TOVARO_CDECL loadu(void* h, long len) {
  return test_support::Load("loadu", h, len);
}
#endif

#if !defined(FAKE_WITHOUT_REQUEST)
TOVARO_EXPORT void* TOVARO_CDECL request(void* h, long* len) {
  using namespace test_support;
  std::string bytes = TakeBlock(h, *len);
  gLog += "request(" + bytes + ")\n";
  std::vector<std::string> arguments = Arguments(bytes);
  std::string command = arguments.empty() ? std::string() : arguments[0];
  std::string argument = arguments.size() > 1 ? arguments[1] : std::string();
  if (command.empty()) {
    long pending = gPending;
    if (gPending > 0) --gPending;
    return Block(Answer(200, std::to_string(pending), {}), len);
  }
  if (command == "echo") {
    std::vector<std::string> values(arguments.begin() + 1, arguments.end());
    return Block(Answer(200, std::to_string(values.size()), values), len);
  }
  if (command == "status") return Block(Answer(std::atoi(argument.c_str()), "", {}), len);
  if (command == "pending") {
    gPending = std::atol(argument.c_str());
    gUnderWay = gPending > 0;
    return Block(Answer(200, argument, {}), len);
  }
  if (command == "GetStatus" && gKnowsStatus) {
    const long pending = gPending;
    const bool underWay = gUnderWay;
    if (gPending > 0) {
      --gPending;
    } else {
      gUnderWay = false;
    }
    return Block(Answer(200, std::to_string(pending),
                        {"255", underWay ? "1" : "0", "4", "1", "refused", "ja sentence",
                         "en sentence"}),
                 len);
  }
  if (command == "nostatus") {
    gKnowsStatus = false;
    return Block(Answer(200, "", {}), len);
  }
  if (command == "sjis") {
    return Block("SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \x93\xFA\x96\x7B\r\n\r\n",
                 len);
  }
  if (command == "garbage") return Block("HTTP/1.0 200 OK\r\n\r\n", len);
  if (command == "null") {
    *len = 0;
    return nullptr;
  }
  return Block(Answer(400, "", {}), len);
}
#endif

TOVARO_EXPORT int TOVARO_CDECL unload(void) {
  gLog += "unload()\n";
  return 1;
}

// For the test, which holds the module open across saori-call's own load and free.
TOVARO_EXPORT const char* TOVARO_CDECL fake_log(long* length) {
  *length = static_cast<long>(gLog.size());
  return gLog.data();
}
TOVARO_EXPORT void TOVARO_CDECL fake_reset(void) {
  gLog.clear();
  test_support::gPending = 0;
  test_support::gUnderWay = false;
  test_support::gKnowsStatus = true;
}
