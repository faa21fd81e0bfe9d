// The sections a group writes, as the Linux program keeps them in a file of
// expected texts and the Windows test host reads them back: "== title" for a
// section, then its lines indented by two blanks, control characters as C
// escapes so that every line stays one line.
#pragma once
#include <string>
#include <vector>

#include "wintest/groups.h"

namespace wintest {

struct Section {
  std::string title;
  std::vector<std::string> lines;
};

struct Transcript {
  std::vector<Section> sections;
};

bool write_transcript(const Transcript& transcript, const std::string& path);
// False when the file cannot be read.
bool read_transcript(const std::string& path, Transcript* transcript);

// What differs between the two sides only by where they run (the fake agents' addresses) is
// written as the same text on both: "<agent ROLE>".
void set_replacements(const Place& place);
std::string normalised(const std::string& line);

}  // namespace wintest
