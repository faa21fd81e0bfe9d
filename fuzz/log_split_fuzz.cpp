// Splits arbitrary bytes as a log file, restores and decodes every record and
// walks its entries; also reads the leading bytes as a log file name.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "reports/log_format.h"

namespace {

// Serves the input in chunks of a size chosen by its first byte, so that the
// splitter's refilling is exercised at every alignment.
struct Chunked {
  LogMemory memory;
  DWORD chunk;
};

BOOL read_chunked(void* context, uint64_t position, BYTE* out, DWORD count, DWORD* got) {
  Chunked* c = static_cast<Chunked*>(context);
  return read_log_memory_at(&c->memory, position, out, count < c->chunk ? count : c->chunk, got);
}

template <size_t N>
void check_text(const char (&text)[N]) {
  if (strnlen(text, N) >= N) std::abort();  // a text that fills its buffer without a terminator
}

void walk_entries(const BYTE* body, size_t length, const DecodedLogRecord& d) {
  if (d.family == kLogFamilyGpoFileChange) {
    size_t at = kGpoChangeFirstEntry;
    GpoChangeEntry entry;
    for (uint32_t i = 0; i < d.gpo_file_change.entry_count && read_gpo_change_entry(body, length, &at, &entry); ++i) {
      check_text(entry.text1);
      check_text(entry.text3);
      check_text(entry.text4);
      if (at > length + kLogHeaderBytes) std::abort();
    }
  } else if (d.family == kLogFamilyGpoDirectoryValue) {
    size_t at = kGpoValueFirstEntry;
    GpoValueEntry entry;
    for (uint32_t i = 0; i < d.gpo_directory_value.entry_count && read_gpo_value_entry(body, length, &at, &entry);
         ++i) {
      check_text(entry.text);
      if (at > length + kLogHeaderBytes) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<BYTE> buffer(kLogSplitBufferBytes);
  static DecodedLogRecord decoded;

  char name[kLogNameBytes + 8];
  size_t name_length = size < sizeof name - 1 ? size : sizeof name - 1;
  std::memcpy(name, data, name_length);
  name[name_length] = '\0';
  LogFileName parsed;
  parse_log_file_name(name, &parsed);
  check_text(parsed.prefix);
  check_text(parsed.server);

  Chunked source = {{data, size}, size ? 1u + data[0] * 97u : 1u};
  LogSplitter splitter;
  if (!begin_log_split(&splitter, read_chunked, &source, buffer.data(), buffer.size(), 0, size)) std::abort();
  uint64_t last = 0;
  for (;;) {
    LogSplitItem item;
    LogSplitEvent event = next_log_split(&splitter, &item);
    if (event == kLogSplitEnd) break;
    if (splitter.position <= last || splitter.position > size) std::abort();  // always forward, inside the input
    last = splitter.position;
    if (event != kLogSplitRecord) continue;
    if (item.position + kLogHeaderBytes + item.body_length > size) std::abort();
    restore_log_record_body(item.type, item.body, item.body_length);
    if (!decode_log_record(item.type, item.body, item.body_length, &decoded)) std::abort();
    if (decoded.family == kLogFamilyFile) check_text(decoded.file.new_name);
    if (decoded.family == kLogFamilyGpoDirectory) check_text(decoded.gpo_directory.old_value);
    walk_entries(item.body, item.body_length, decoded);
  }
  return 0;
}
