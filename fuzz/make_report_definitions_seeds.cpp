// Writes the seed corpus of the report definitions target into a folder:
// definitions files as the host console writes them (every key, numbered lists
// of paths, objects and attributes, the three report types), and files with
// what a hand-edited file can hold: a section without keys, a gap in a
// numbered list, values longer than their fields, quotes, comments, repeated
// sections and keys, lines outside any section, an unclosed section name.
#include <cstdio>
#include <string>

namespace {

std::string definition(const std::string& name, const std::string& type, int paths, int objects, int attributes) {
  std::string text = "[" + name + "]\r\nAUTHOR_SAM=BRIGHTMERE\\jsmith\r\nAUTHOR_TIME=12/07/2026 10:15:00\r\n";
  text += "REPORT_TYPE=" + type + "\r\nOUTPUT_TYPE=HTML\r\nAD_NAME_FORMAT=CANONICAL\r\n";
  text += "EMAIL_LIST=audit@brightmere.local;it@brightmere.local\r\nWITH_EPERM=1\r\n";
  char key[32];
  for (int i = 0; i < paths; ++i) {
    std::snprintf(key, sizeof key, "FS_PATH%08d", i);
    text += key + std::string("=\\\\FS1\\Finance\\Q") + std::to_string(i) + "\r\n";
  }
  for (int i = 0; i < objects; ++i) {
    std::snprintf(key, sizeof key, "AD_PATH%08d", i);
    text += key + std::string("=OU=Finance,DC=brightmere,DC=local") + "\r\n";
  }
  for (int i = 0; i < attributes; ++i) {
    std::snprintf(key, sizeof key, "AD_ATTR%08d", i);
    text += key + std::string("=member") + "\r\n";
  }
  return text + "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_report_definitions_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const std::string& name, const std::string& text) {
    std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      ++failures;
    }
  };

  save("three_types", definition("Finance shares", "basic", 3, 1, 2) +
                          definition("Access review", "AccessEnum", 1, 0, 0) +
                          definition("Vertical audit", "vertical", 0, 2, 2));
  save("no_keys", "[Empty definition]\r\n");
  save("gap_in_paths",
       "[Gap]\r\nFS_PATH00000000=\\\\FS1\\A\r\nFS_PATH00000001=\\\\FS1\\B\r\nFS_PATH00000003=\\\\FS1\\D\r\n");
  save("long_values", "[Long]\r\nAUTHOR_SAM=" + std::string(300, 'a') + "\r\nREPORT_TYPE=" + std::string(40, 'v') +
                          "vertical\r\nEMAIL_LIST=" + std::string(2100, 'e') +
                          "\r\nAD_NAME_FORMAT=" + std::string(70, 'n') + "\r\n");
  save("hand_edited",
       "; saved by hand\nloose=before any section\n[ Spaced name ]\n  REPORT_TYPE = \"access\" \nWITH_EPERM=*\n"
       "[spaced NAME]\nREPORT_TYPE=basic\n[Unclosed\nreport_type=Vertical\nreport_type=basic\n"
       "EMAIL_LIST='*'\n[]\nFS_PATH00000000=x\n\n[Last]");
  save("many_sections", [] {
    std::string text;
    for (int i = 0; i < 6; ++i)
      text += definition("Definition " + std::to_string(i), i % 3 ? "basic" : "vertical", i % 4, i % 2, 1);
    return text;
  }());
  save("latin1_names",
       "[Comptabilit\xE9]\r\nAUTHOR_SAM=\xC9lise\r\nREPORT_TYPE=\xC0"
       "ccess\r\n");
  return failures ? 1 : 0;
}
