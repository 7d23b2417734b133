// The long options both tools take, "--name", "--name=value" or "--name value", read
// one at a time; what each option means stays with its tool.
#ifndef TOVARO_TOOLS_COMMON_OPTION_READER_H_
#define TOVARO_TOOLS_COMMON_OPTION_READER_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct Option {
  std::string name;   // as written, "--port"; without any "=value"
  std::string value;  // empty for an option that takes none
};

// Reads the option at arguments[*index]. `valued` names the options that take a
// value; any other name takes none, including names no tool knows, which the caller
// reports as it sees fit. An argument that starts with "--" is split at its first
// '='; any other is the name as it stands. A valued option without "=" takes the next
// argument as its value.
// On success fills *option, leaves *index at the last argument the option used and
// returns true. On failure sets *error to "NAME needs a value" (nothing follows) or
// "NAME takes no value" and returns false.
// REQUIRES: *index < arguments.size().
bool ReadOption(const std::vector<std::string>& arguments, std::size_t* index,
                std::initializer_list<std::string_view> valued, Option* option,
                std::string* error);

}  // namespace tools

#endif  // TOVARO_TOOLS_COMMON_OPTION_READER_H_
