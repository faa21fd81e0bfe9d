// Reads arbitrary bytes as the report definitions file, as the definitions
// list reads it: the section names, then each section's keys and its three
// numbered lists counted through the private-profile functions, and its row
// record made, for the first 8 sections. The first section's tile is drawn
// too, for one input in 128 (by its size): drawing costs more than all the
// reading. The rows' texts and blocks stay inside their sizes, and each
// section name comes once.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/report_definitions.h"

namespace {

// The first 4 KB of an input are the file: they hold the longest value read (2,000 bytes) and more
// sections than are read; larger files bring no new lines, only more of them to parse.
constexpr size_t kMostBytes = 4096;
// Rows past these are read the same way: reading every one would have the fuzzer grow inputs
// to hundreds of sections, each read one key at a time, for no new paths. Eight rows reach the
// same coverage as 32 at one and a half times the inputs a second.
constexpr int kMostRows = 8;

std::string g_input;  // the file each input is written to
// A small file read after each input: the private-profile functions keep the last file they
// parsed, and an input's parse kept into the next input would look like a leak to libFuzzer.
std::string g_rest;

template <size_t N>
void check_field(const BYTE* record, size_t offset) {
  if (strnlen(reinterpret_cast<const char*>(record + offset), N) >= N) std::abort();
}

// `listed`: the names of the input's rows so far.
void check_row(BYTE* record, const ReportDefinition& d, std::vector<std::string>* listed) {
  const char* name = definition_row_name(record);
  const char* emails = definition_row_emails(record);
  if (name == nullptr || std::strcmp(name, d.name) != 0 || emails == nullptr ||
      strnlen(emails, kDefinitionEmailBytes) >= kDefinitionEmailBytes)
    std::abort();
  check_field<sizeof ReportDefinition::output_type>(record, kDefinitionOutputTypeOffset);
  check_field<sizeof ReportDefinition::report_type>(record, kDefinitionReportTypeOffset);
  check_field<sizeof ReportDefinition::ad_name_format>(record, kDefinitionNameFormatOffset);
  for (DWORD count : {d.paths, d.ad_objects, d.ad_attributes})
    if (count > kNumberedKeysCounted) std::abort();
  for (const std::string& other : *listed)
    if (equal_ignoring_case(other.c_str(), name)) std::abort();  // one row per section name
  listed->push_back(name);
  for (int slot : {kOwnedBlock1, kOwnedValueFirst}) {
    free_block(owned_block(record, slot));
    set_owned_block(record, slot, nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string folder = make_fuzz_folder("definitions");
  g_input = folder + "/definitions.ini";
  g_rest = folder + "/rest.ini";
  std::FILE* rest = std::fopen(g_rest.c_str(), "wb");
  if (rest == nullptr || std::fputs("[rest]\r\n", rest) < 0 || std::fclose(rest) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size = std::min(size, kMostBytes);
  static std::vector<char> names(kSectionNamesBytes);
  static HIMAGELIST images = nullptr;
  if (images == nullptr) {
    g_library.quiet_mode = 1;
    images = ImageList_Create(kTileWidth, kTileHeight, ILC_COLOR32, 1, 1);
    if (images == nullptr) std::abort();
  }
  const char* file = g_input.c_str();
  std::FILE* out = std::fopen(file, "wb");
  if (out == nullptr || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0) std::abort();
  // Held by this call only: what one input allocates and keeps makes libFuzzer run it again to look for a leak.
  std::vector<std::string> listed;
  static ReportDefinition d;
  if (GetPrivateProfileSectionNamesA(names.data(), kSectionNamesBytes, file) > 0) {
    int image = 0;
    for (const char* section = names.data(); *section && image < kMostRows;
         section += std::strlen(section) + 1, ++image) {
      read_report_definition(file, section, &d);
      if (image == 0 && size % 128 == 0) draw_definition_tile(images, d, 0, ImageList_GetImageCount(images) > 0);
      BYTE record[kListItemBytes] = {};
      if (!make_definition_row(d, image, nullptr, record)) std::abort();
      check_row(record, d, &listed);
    }
  }
  GetPrivateProfileSectionNamesA(names.data(), kSectionNamesBytes, g_rest.c_str());
  return 0;
}

// The font library keeps what it has read of the fonts until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
