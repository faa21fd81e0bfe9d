// A folder of the fuzz target's own for the files it hands the library (a world, the input as a file):
// in memory (/dev/shm) where the machine has it, else in /tmp, and removed when the target exits.
#pragma once
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string make_fuzz_folder(const std::string& name) {
  static std::string* folder = nullptr;
  for (const char* base : {"/dev/shm", "/tmp"}) {
    std::string pattern = std::string(base) + "/qvmr7-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
      folder = new std::string(pattern);
      std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(*folder, ignored);
      });
      return *folder;
    }
  }
  std::abort();
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) std::abort();
}
