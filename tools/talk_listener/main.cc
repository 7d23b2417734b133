// talk-listener: see talk_listener.h, or run it with --help.
#include <iostream>
#include <string>
#include <vector>

#include "talk_listener/talk_listener.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tools::talk_listener::RunTalkListener(arguments, std::cout, std::cerr, nullptr,
                                               {});
}
