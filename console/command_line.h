// vornix-console's command line: options before or after the command word,
// in any order, as "--name value" or "--name=value".
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace console {

struct CommandLine {
  std::string command;             // the first word that is neither an option nor an option's value
  bool help = false;               // --help or -h anywhere
  bool verbose = false;            // --verbose anywhere: dialogs and start-up lines echoed on standard error
  std::vector<std::string> args;   // everything else, in the order given
};

CommandLine parse_command_line(int argc, const char* const* argv);

// Takes "NAME VALUE" out of args wherever it stands; empty when absent. A NAME
// with no value after it (the last word, or another option) is taken out and
// sets *missing_value.
std::string take_option(std::vector<std::string>& args, std::string_view name, bool* missing_value);
// Every value of a repeatable option, in order.
std::vector<std::string> take_options(std::vector<std::string>& args, std::string_view name, bool* missing_value);
// Takes a flag (an option without a value) out of args; true when it was there.
bool take_flag(std::vector<std::string>& args, std::string_view name);

// Edit distance (insertions, deletions, substitutions) between two words.
size_t edit_distance(std::string_view a, std::string_view b);
// The candidate nearest to a mistyped word when it is near enough to be meant (a third of its letters
// differ at most); empty when none is.
std::string nearest_word(std::string_view word, const std::vector<std::string>& candidates);

// The options a command's usage text names ("--server NAME", "[--yes]"), each with whether a value follows it.
struct UsageOption {
  std::string name;
  bool takes_value;
};
std::vector<UsageOption> usage_options(std::string_view usage);
// The first word of args that looks like an option ("--name" or "--name=value") but is none of the options
// given, the values after those that take one left alone; empty when there is none.
std::string unknown_option(const std::vector<std::string>& args, const std::vector<UsageOption>& options);

}  // namespace console
