// saori-call: see saori_call.h, or run it with --help.
#include <iostream>

#include "saori_call/os_support.h"
#include "saori_call/saori_call.h"

int main(int argc, char** argv) {
  tools::saori_call::PrepareStandardStreams();
  return tools::saori_call::RunSaoriCall(
      tools::saori_call::CommandLineArguments(argc, argv), std::cin, std::cout,
      std::cerr);
}
