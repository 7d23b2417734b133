// Shared pieces of the module tests: the built module, request texts as a host
// writes them, and readers for answer texts.
#ifndef TOVARO_TESTS_MODULE_MODULE_FIXTURE_H_
#define TOVARO_TESTS_MODULE_MODULE_FIXTURE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "speech/talk_packet.h"
#include "support/module_loader.h"

namespace test_support {

// Windows loads the module by name from beside the test program, so it is found the
// way a host finds it; elsewhere by its path in the build folder.
#if defined(_WIN32)
inline const char* const kModuleFile = TOVARO_MODULE_FILE;
#else
inline const char* const kModuleFile = TOVARO_MODULE_PATH;
#endif

// The answer to every request that could not be carried out.
inline const std::string kFailureAnswer = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

// A request: the first line, then "key: value" lines, then an empty line, each
// ended by CR LF.
inline std::string SaoriRequest(
    const std::string& firstLine,
    std::initializer_list<std::pair<std::string, std::string>> headers) {
  std::string text = firstLine + "\r\n";
  for (const auto& header : headers) text += header.first + ": " + header.second + "\r\n";
  return text + "\r\n";
}

// An EXECUTE request as a host sends it after the version check.
inline std::string HostExecute(const std::string& charset,
                               std::initializer_list<std::string> arguments) {
  std::string text = "EXECUTE SAORI/1.0\r\nCharset: " + charset +
                     "\r\nSender: test host\r\nSecurityLevel: Local\r\n";
  int index = 0;
  for (const std::string& argument : arguments) {
    text += "Argument" + std::to_string(index++) + ": " + argument + "\r\n";
  }
  return text + "\r\n";
}

inline std::string StatusLine(const std::string& answer) {
  return answer.substr(0, answer.find("\r\n"));
}

// The value of the first "key: value" line of the answer; "(none)" when missing.
inline std::string HeaderValue(const std::string& answer, const std::string& key) {
  std::string needle = "\r\n" + key + ": ";
  std::size_t at = answer.find(needle);
  if (at == std::string::npos) return "(none)";
  at += needle.size();
  return answer.substr(at, answer.find("\r\n", at) - at);
}

// The talk packet for `text` with every voice setting left to its default.
inline std::string DefaultTalkPacket(const std::string& text) {
  speech::TalkEntry entry;
  entry.text = text;
  std::vector<char> buffer;
  const std::size_t size = speech::BuildTalkPacket(entry, buffer);
  return std::string(buffer.data(), size);
}

// A freshly opened module that is freed at the end of the test without unload,
// unless the test unloads it.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module.IsOpen()) << module.error(); }

  // The queue length and maximum as an EXECUTE without arguments reports them.
  std::string QueueState() {
    Answer answer = module.Request(HostExecute("UTF-8", {}));
    return HeaderValue(answer.bytes, "Result") + "/" + HeaderValue(answer.bytes, "Value0");
  }

  // Waits up to `timeoutMs` until the worker has taken every waiting entry.
  bool WaitForEmptyQueue(unsigned timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (HeaderValue(module.Request(HostExecute("UTF-8", {})).bytes, "Result") != "0") {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  LoadedModule module{kModuleFile};
};

// Waits up to `timeoutMs` until the process has at most `limit` threads; returns
// the last count. A thread that has ended may still be listed for a moment, and
// the C library's name lookup runs on helper threads of its own that linger for a
// second after a lookup, so the count can also fall below where it started.
inline std::size_t WaitForAtMostThreads(std::size_t limit, unsigned timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t count = ThreadCount();
  while (count > limit && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    count = ThreadCount();
  }
  return count;
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace test_support

#endif  // TOVARO_TESTS_MODULE_MODULE_FIXTURE_H_
