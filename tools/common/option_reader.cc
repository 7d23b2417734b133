#include "common/option_reader.h"

#include <algorithm>

namespace tools {

bool ReadOption(const std::vector<std::string>& arguments, std::size_t* index,
                std::initializer_list<std::string_view> valued, Option* option,
                std::string* error) {
  const std::string& argument = arguments[*index];
  option->name = argument;
  option->value.clear();
  bool hasValue = false;
  std::size_t equals = argument.find('=');
  if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
    option->name = argument.substr(0, equals);
    option->value = argument.substr(equals + 1);
    hasValue = true;
  }
  bool takesValue = std::find(valued.begin(), valued.end(), option->name) != valued.end();
  if (takesValue && !hasValue) {
    if (*index + 1 >= arguments.size()) {
      *error = option->name + " needs a value";
      return false;
    }
    option->value = arguments[++*index];
  } else if (!takesValue && hasValue) {
    *error = option->name + " takes no value";
    return false;
  }
  return true;
}

}  // namespace tools
