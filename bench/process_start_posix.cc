#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

#include "scenarios.h"

extern char** environ;

namespace bench {

void StartSmallProcess() {
  // The smallest program every system has: it starts, does nothing and ends.
  char program[] = "/bin/true";
  char* const argv[] = {program, nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, program, nullptr, nullptr, argv, environ) != 0) {
    throw std::runtime_error("cannot start /bin/true");
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
}

}  // namespace bench
