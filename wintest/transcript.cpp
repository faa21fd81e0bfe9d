#include "wintest/transcript.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace wintest {
namespace {

std::vector<std::pair<std::string, std::string>> g_replacements;

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else if (static_cast<unsigned char>(c) < 0x20) out += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) +
                                                       "0123456789abcdef"[c & 15];
    else out += c;
  }
  return out;
}

}  // namespace

bool write_transcript(const Transcript& transcript, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  for (const Section& section : transcript.sections) {
    out << "== " << escaped(section.title) << "\n";
    for (const std::string& line : section.lines) out << "  " << line << "\n";
  }
  return static_cast<bool>(out);
}

bool read_transcript(const std::string& path, Transcript* transcript) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  transcript->sections.clear();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("== ", 0) == 0) transcript->sections.push_back({line.substr(3), {}});
    else if (!transcript->sections.empty() && line.rfind("  ", 0) == 0)
      transcript->sections.back().lines.push_back(line.substr(2));
  }
  return true;
}

void set_replacements(const Place& place) {
  g_replacements.clear();
  for (const auto& [role, address] : place.agents) g_replacements.push_back({address, "<agent " + role + ">"});
}

std::string normalised(const std::string& line) {
  std::string text = escaped(line);
  // Whole addresses only: 127.0.0.2 is no part of 127.0.0.21.
  for (const auto& [from, to] : g_replacements) {
    for (size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos;) {
      size_t end = at + from.size();
      bool whole = (at == 0 || !std::isdigit(static_cast<unsigned char>(text[at - 1]))) &&
                   (end == text.size() || !std::isdigit(static_cast<unsigned char>(text[end])));
      if (!whole) {
        at = end;
        continue;
      }
      text.replace(at, from.size(), to);
      at += to.size();
    }
  }
  return text;
}

}  // namespace wintest
