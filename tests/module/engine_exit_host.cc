// A host that ends with a script engine still loaded, so that the engine's
// teardown runs at process exit: it loads the engine (ENGINE), queues a text for
// 127.0.0.1:PORT, waits until the module's worker has taken it, writes the
// moment it begins to exit to STAMP (the steady clock's count) and exits
// without freeing anything.
//
//   engine_exit_host ENGINE PORT STAMP
//
// Exit status 0 when everything up to the exit went as planned, else 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "support/module_loader.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQueueWait = std::chrono::seconds(5);

bool QueueIsEmpty(test_support::LoadedModule& engine) {
  const std::string answer =
      engine.Request("EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\n\r\n").bytes;
  return answer.find("\r\nResult: 0\r\n") != std::string::npos;
}

int Run(test_support::LoadedModule& engine, const char* port, const char* stampPath) {
  if (!engine.IsOpen() || engine.Load("C:/ghost/") != 1) return 1;
  const std::string answer = engine.Request(
      std::string("EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: AddQueue\r\n") +
      "Argument1: unheard\r\nArgument2: 127.0.0.1\r\nArgument3: " + port + "\r\n\r\n")
      .bytes;
  if (answer.compare(0, 16, "SAORI/1.0 200 OK") != 0) return 1;
  const Clock::time_point deadline = Clock::now() + kQueueWait;
  while (!QueueIsEmpty(engine)) {
    if (Clock::now() > deadline) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::ofstream stamp(stampPath);
  stamp << Clock::now().time_since_epoch().count() << '\n';
  return stamp.good() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: engine_exit_host ENGINE PORT STAMP\n");
    return 1;
  }
  // Never closed: std::exit leaves the objects of this scope as they are, so the
  // process ends with the engine loaded.
  test_support::LoadedModule engine(argv[1]);
  const int status = Run(engine, argv[2], argv[3]);
  std::fflush(nullptr);
  std::exit(status);
}
