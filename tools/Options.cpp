// The command line: one table says which option sets which field, so that a new option is one
// entry and cannot land in another option's field.
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "Tool.h"

namespace BrickTool {

namespace {

struct OptionSpec {
  const char* name;
  const char* alias;            // a short spelling, or null
  bool Options::*flag;          // set by a flag, or null
  std::string Options::*value;  // set from the next word, or null
  bool link;                    // one of the mutually exclusive link choices
  bool commandOnly;             // valid only after a command that lists it among its flags
};

const std::vector<OptionSpec>& optionTable() {
  static const std::vector<OptionSpec> table{
      {"--help", "-h", &Options::help, nullptr, false, false},
      {"--version", nullptr, &Options::version, nullptr, false, false},
      {"--trace", nullptr, &Options::trace, nullptr, false, false},
      {"--usb", nullptr, &Options::usb, nullptr, true, false},
      {"--bt", nullptr, nullptr, &Options::bluetooth, true, false},
      {"--device", nullptr, nullptr, &Options::device, true, false},
      {"--brake", nullptr, &Options::brake, nullptr, false, true},
      {"--watch", nullptr, &Options::watch, nullptr, false, true},
      {"--every", nullptr, nullptr, &Options::every, false, true},
      {"--for", nullptr, nullptr, &Options::duration, false, true},
      {"--csv", nullptr, nullptr, &Options::csv, false, true},
      {"--write", nullptr, &Options::write, nullptr, false, true},
  };
  return table;
}

const OptionSpec* findOption(const std::string& word) {
  for (const OptionSpec& option : optionTable()) {
    if (word == option.name || (option.alias != nullptr && word == option.alias)) {
      return &option;
    }
  }
  return nullptr;
}

bool takes(const Command* command, const std::string& flag) {
  if (command == nullptr) {
    return false;
  }
  for (const std::string& own : command->flags) {
    if (own == flag) {
      return true;
    }
  }
  return false;
}

// A word that is an argument, not an option: negative numbers (motor power) included.
bool isArgument(const std::string& word) {
  bool isNumber =
      word.size() > 1 && word[0] == '-' && std::isdigit(static_cast<unsigned char>(word[1]));
  return word.empty() || word[0] != '-' || isNumber || word == "-";
}

}  // namespace

bool parse(int argc, const char* const* argv, Options& options, std::string& error) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    words.emplace_back(argv[i] != nullptr ? argv[i] : "");
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (isArgument(word)) {
      if (options.command == nullptr) {
        options.command = findCommand(word);
        if (options.command == nullptr) {
          error = "unknown command '" + word + "'";
          return false;
        }
      } else {
        options.arguments.push_back(word);
      }
      continue;
    }
    const OptionSpec* option = findOption(word);
    if (option == nullptr || (option->commandOnly && !takes(options.command, option->name))) {
      error = "unknown option '" + word + "'";
      return false;
    }
    if (option->link) {
      ++options.linkChoices;
    }
    if (option->flag != nullptr) {
      options.*(option->flag) = true;
      continue;
    }
    if (i + 1 >= words.size() || words[i + 1].empty()) {
      error = word + " needs a value";
      return false;
    }
    options.*(option->value) = words[++i];
  }
  return true;
}

bool integerArgument(const std::string& text, long low, long high, long& value) {
  if (text.empty()) {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

}  // namespace BrickTool
