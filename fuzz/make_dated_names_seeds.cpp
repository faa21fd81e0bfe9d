// Writes the seed corpus of the dated names target into a folder: activity
// log names as the agents write them (every month, a leap day, servers of 0
// to 25 characters, with a folder part), the sibling product's and other
// names that are not of that form, and registry archive names with the month
// at every place.
#include <cstdio>
#include <string>

#include "sim/logwriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_dated_names_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0, number = 0;
  auto save = [&](const std::string& name) {
    std::string path = folder + "/name_" + std::to_string(number++);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(name.data(), 1, name.size(), file) == name.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      ++failures;
    }
  };

  for (int month = 1; month <= 12; ++month) save(support::log_file_name("x", "FS1", 2016, month, month * 2));
  save(support::log_file_name("vnx", "SRV01", 2024, 2, 29));
  save(support::log_file_name("x", "", 2026, 12, 31));
  save(support::log_file_name("profile_with_parts", "ABCDEFGHIJKLMNOPQRSTUVWXY", 1999, 1, 1));
  save("\\\\SRV01\\D$\\vnxlogs\\" + support::log_file_name("x", "SRV01", 2026, 3, 29));
  save(support::log_file_name("x", "FS1", 2015, 2, 29));  // no such day
  save("20260307_SRV01.csv");
  save("x_FS1d_March072016.VNX");
  save(std::string(240, 'p') + "_" + support::log_file_name("x", "FS1", 2016, 3, 7));

  save("vornix_07_Dec_2026.savekey");
  save("Dec_07_2026_vornix.savekey");
  save("vornix_backup_2026_07_dec.savekey");
  save("vornix.savekey");
  save("a_b_c_d_e_f_g_h_i_j_k_l_m_n_o_p_q_Jan_2027.savekey");
  save("vornix_" + std::string(200, '7') + "_May_" + std::string(40, '9') + ".savekey");
  return failures ? 1 : 0;
}
