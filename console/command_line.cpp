#include "console/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>

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

size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string nearest_word(std::string_view word, const std::vector<std::string>& candidates) {
  const std::string* best = nullptr;
  size_t best_distance = 0;
  for (const std::string& candidate : candidates) {
    size_t d = edit_distance(word, candidate);
    if (best == nullptr || d < best_distance) best = &candidate, best_distance = d;
  }
  return best && best_distance <= std::max<size_t>(1, word.size() / 3) ? *best : "";
}

std::vector<UsageOption> usage_options(std::string_view usage) {
  std::vector<UsageOption> options;
  for (size_t at = usage.find("--"); at != std::string_view::npos; at = usage.find("--", at + 2)) {
    if (at > 0 && std::string_view(" [|\n").find(usage[at - 1]) == std::string_view::npos) continue;
    size_t end = at + 2;
    while (end < usage.size() && (std::islower(static_cast<unsigned char>(usage[end])) ||
                                  std::isdigit(static_cast<unsigned char>(usage[end])) || usage[end] == '-'))
      ++end;
    // "--server NAME" takes a value; "[--yes]", "--remove --yes" and "--force | --sibling" do not.
    bool value = end + 1 < usage.size() && usage[end] == ' ' && std::string_view("[-|").find(usage[end + 1]) == std::string_view::npos;
    std::string name(usage.substr(at, end - at));
    at = end - 2;
    if (name.size() == 2) continue;
    auto known = std::find_if(options.begin(), options.end(), [&](const UsageOption& o) { return o.name == name; });
    if (known == options.end()) options.push_back({name, value});
  }
  return options;
}

std::string unknown_option(const std::vector<std::string>& args, const std::vector<UsageOption>& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0) continue;
    std::string name = args[i].substr(0, args[i].find('='));
    auto known = std::find_if(options.begin(), options.end(), [&](const UsageOption& o) { return o.name == name; });
    if (known == options.end()) return name;
    if (known->takes_value && name == args[i]) ++i;
  }
  return "";
}

}  // namespace console
