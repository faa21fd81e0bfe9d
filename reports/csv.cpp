// Comma-delimited text, written through a fixed buffer so that cells of any
// length pass without an allocation.
#include "reports/csv.h"

#include <cstring>

namespace {

constexpr DWORD kErrorDiskFull = 112;  // ERROR_DISK_FULL: the file took fewer bytes than given

void flush(CsvWriter* w) {
  if (w->used == 0) return;
  if (w->error == 0) {
    DWORD written = 0;
    if (!WriteFile(w->file, w->buffer, static_cast<DWORD>(w->used), &written, nullptr)) w->error = GetLastError();
    else if (written != w->used) w->error = kErrorDiskFull;
  }
  w->used = 0;
}

void put(CsvWriter* w, char c) {
  if (w->used == sizeof w->buffer) flush(w);
  w->buffer[w->used++] = static_cast<BYTE>(c);
}

}  // namespace

bool csv_needs_quotes(const char* text) {
  return text != nullptr && std::strpbrk(text, ",\"\r\n") != nullptr;
}

void csv_begin(CsvWriter* writer, HANDLE file) {
  writer->file = file;
  writer->used = 0;
  writer->cells = 0;
  writer->error = 0;
}

void csv_cell(CsvWriter* writer, const char* text) {
  if (writer->cells++ > 0) put(writer, ',');
  if (text == nullptr) return;
  bool quoted = csv_needs_quotes(text);
  if (quoted) put(writer, '"');
  for (const char* c = text; *c; ++c) {
    if (*c == '"') put(writer, '"');
    put(writer, *c);
  }
  if (quoted) put(writer, '"');
}

void csv_end_line(CsvWriter* writer) {
  put(writer, '\r');
  put(writer, '\n');
  writer->cells = 0;
}

DWORD csv_finish(CsvWriter* writer) {
  flush(writer);
  return writer->error;
}
