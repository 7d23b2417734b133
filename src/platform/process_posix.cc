#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

extern char** environ;

namespace platform {

std::size_t ThreadCount() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  std::size_t count = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count;
}

std::size_t ResidentBytes() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return 0;
  unsigned long size = 0;
  unsigned long resident = 0;
  const int read = std::fscanf(file, "%lu %lu", &size, &resident);
  std::fclose(file);
  if (read != 2) return 0;
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::size_t HeapBytesInUse() {
  // Small blocks in use plus the blocks the allocator mapped on their own.
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

std::string ThisProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
    if (length < 0) return std::string();
    // A result that fills the buffer may have been cut short.
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool ChildrenWouldInherit(std::intptr_t handle) {
  const int flags = fcntl(static_cast<int>(handle), F_GETFD);
  return flags != -1 && (flags & FD_CLOEXEC) == 0;
}

bool RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
              int* exitStatus, unsigned limitMs) {
  // posix_spawn takes the strings unchanged but is declared with non-const ones.
  std::vector<std::string> strings;
  strings.reserve(arguments.size() + 1);
  strings.push_back(program);
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(strings.size() + 1);
  for (std::string& s : strings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  // waitpid has no limit: without one it blocks, with one it is asked every
  // millisecond until the limit.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(child, &status, limitMs == kNoLimit ? 0 : WNOHANG);
    if (ended == child) break;
    if (ended == -1 && errno != EINTR) return false;
    if (ended == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(child, SIGKILL);
        while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
        }
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (exitStatus != nullptr) {
    *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return true;
}

}  // namespace platform
