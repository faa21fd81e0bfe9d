// Comma-delimited text: the one writer of every CSV file (results window
// saves, view-log output). Cells are quoted as RFC 4180 asks: a cell holding
// a comma, a double quote or a line break is enclosed in double quotes and
// its quotes doubled; lines end with CR LF.
#pragma once
#include <cstddef>

#include "host/win32.h"

constexpr size_t kCsvBufferBytes = 4096;

struct CsvWriter {
  HANDLE file;
  size_t used;
  DWORD cells;  // cells written on the current line
  DWORD error;  // the first WriteFile error; 0 while all went well
  BYTE buffer[kCsvBufferBytes];
};

// Starts writing to an open file handle (written through WriteFile).
void csv_begin(CsvWriter* writer, HANDLE file);
// Adds a cell to the current line (null is an empty cell); any length.
void csv_cell(CsvWriter* writer, const char* text);
// Ends the current line.
void csv_end_line(CsvWriter* writer);
// Writes what is buffered; 0 when every byte reached the file, else the Windows error.
DWORD csv_finish(CsvWriter* writer);

// True when the cell must be enclosed in quotes.
bool csv_needs_quotes(const char* text);
