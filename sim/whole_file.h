// A file's bytes as one string, for tests that compare what the code wrote.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace support {

inline std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace support
