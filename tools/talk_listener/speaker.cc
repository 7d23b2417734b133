#include "talk_listener/speaker.h"

#if !defined(_WIN32)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#endif

namespace tools::talk_listener {

#if defined(_WIN32)

bool SpeakerAvailable() { return false; }
bool Speak(const std::vector<std::string>&, const std::string&) { return false; }
void IgnoreBrokenPipes() {}

#else

bool SpeakerAvailable() {
  const char* path = std::getenv("PATH");
  std::string directories = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    std::size_t end = directories.find(':', start);
    std::string directory = directories.substr(start, end - start);
    if (directory.empty()) directory = ".";
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::file_status status = fs::status(directory + "/espeak-ng", failure);
    const fs::perms runnable = fs::perms::owner_exec | fs::perms::group_exec |
                               fs::perms::others_exec;
    if (!failure && fs::is_regular_file(status) &&
        (status.permissions() & runnable) != fs::perms::none) {
      return true;
    }
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

bool Speak(const std::vector<std::string>& arguments, const std::string& text) {
  // The text goes through standard input, never the command line, so nothing in
  // it can be read by the shell.
  std::string command = "espeak-ng";
  for (const std::string& argument : arguments) {
    command += " '";
    for (char c : argument) {
      if (c == '\'') {
        command += "'\\''";
      } else {
        command += c;
      }
    }
    command += "'";
  }
  command += " --stdin >/dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
  int status = pclose(pipe);
  return written && status == 0;
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

#endif

}  // namespace tools::talk_listener
