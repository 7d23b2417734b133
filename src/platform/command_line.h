// A command-line program's arguments and standard streams, for the tools.
//
// Windows: the wide command line (GetCommandLineW, CommandLineToArgvW) so that
// arguments outside the ANSI code page survive, binary standard streams and a
// console that shows UTF-8. POSIX: the arguments as given, streams untouched.
//
// Main thread, at the start of the program.
#ifndef TOVARO_PLATFORM_COMMAND_LINE_H_
#define TOVARO_PLATFORM_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace platform {

// The program's arguments after its name, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Output as bytes, unchanged (no CR added), and a console that shows UTF-8.
void PrepareStandardStreams();

}  // namespace platform

#endif  // TOVARO_PLATFORM_COMMAND_LINE_H_
