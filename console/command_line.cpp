#include "console/command_line.h"

#include <algorithm>
#include <array>

namespace console {
namespace {

// Every option of every command that takes a value; the others are flags.
constexpr std::array<std::string_view, 17> kValueOptions = {
    "--world", "--server", "--host",   "--path",   "--type",   "--hours",       "--days",       "--from",
    "--to",    "--max",    "--csv",    "--profile", "--folder", "--report-path", "--department", "--enterprise-host",
    "--format"};
constexpr std::array<std::string_view, 13> kFlags = {"--version", "--archived",  "--help", "-h",   "--no-start", "--no-vnxlwa",
                                                     "--no-restart", "--skip-if-running", "--logs", "--registry", "--yes",
                                                     "--verbose", "--wide"};

bool takes_value(std::string_view word) {
  return std::find(kValueOptions.begin(), kValueOptions.end(), word) != kValueOptions.end();
}

bool is_option(std::string_view word) {
  return takes_value(word) || std::find(kFlags.begin(), kFlags.end(), word) != kFlags.end();
}

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    size_t equals = word.find('=');
    // "--server=SRV01" as "--server SRV01"; a file name with "=" in it stays whole.
    if (word.rfind("--", 0) == 0 && equals != std::string_view::npos && takes_value(word.substr(0, equals))) {
      line.args.emplace_back(word.substr(0, equals));
      line.args.emplace_back(word.substr(equals + 1));
    } else {
      line.args.emplace_back(word);
    }
  }
  for (size_t i = 0; i < line.args.size();) {
    const std::string& word = line.args[i];
    if (word == "--help" || word == "-h" || word == "--verbose") {
      (word == "--verbose" ? line.verbose : line.help) = true;
      line.args.erase(line.args.begin() + static_cast<long>(i));
    } else if (takes_value(word)) {
      i += i + 1 < line.args.size() && !is_option(line.args[i + 1]) ? 2 : 1;
    } else if (line.command.empty() && word.rfind("--", 0) != 0) {
      line.command = word;
      line.args.erase(line.args.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  return line;
}

std::string take_option(std::vector<std::string>& args, std::string_view name, bool* missing_value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    auto at = args.begin() + static_cast<long>(i);
    if (i + 1 == args.size() || is_option(args[i + 1])) {
      *missing_value = true;
      args.erase(at);
      return "";
    }
    std::string value = args[i + 1];
    args.erase(at, at + 2);
    return value;
  }
  return "";
}

std::vector<std::string> take_options(std::vector<std::string>& args, std::string_view name, bool* missing_value) {
  std::vector<std::string> values;
  for (std::string value = take_option(args, name, missing_value); !value.empty();
       value = take_option(args, name, missing_value))
    values.push_back(value);
  return values;
}

bool take_flag(std::vector<std::string>& args, std::string_view name) {
  auto at = std::find(args.begin(), args.end(), name);
  if (at == args.end()) return false;
  args.erase(at);
  return true;
}

}  // namespace console
