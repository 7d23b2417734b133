// saori-call: see saori_call.h, or run it with --help.
#include <iostream>

#include "platform/command_line.h"
#include "saori_call/saori_call.h"

int main(int argc, char** argv) {
  platform::PrepareStandardStreams();
  return tools::saori_call::RunSaoriCall(platform::CommandLineArguments(argc, argv),
                                         std::cin, std::cout, std::cerr);
}
