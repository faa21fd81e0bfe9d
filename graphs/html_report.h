// The HTML graphical report: a head naming the report, the server and the
// creation time, one row per chart of the report's chart tree with the chart
// as an embedded base64 PNG, and a tail. Report, server and chart names are
// written HTML-escaped, so that a name shows as it is and adds no markup.
#pragma once
#include <cstddef>

#include "host/win32.h"

constexpr size_t kEmbeddingBufferBytes = 26214390;  // the base64 text of one chart
constexpr int kBase64LineLength = 72;

// The temporary folder with its final backslash; empty when the system gives none.
void temporary_folder(char* out, size_t size);

// Text with &, <, > and " written as entities.
void html_escape(const char* text, char* out, size_t size);

// "March 7, 2016 3:05pm": the local time as the report's head shows it.
void report_creation_time(const SYSTEMTIME& t, char* out, size_t size);

// Encodes a file as base64 text (RFC 4648, "=" padding), lines of line_length
// characters each ended by "\r\n". 0, or the Windows error of the step that
// failed; without an input file no output file is made.
DWORD encode_base64_file(const char* input, const char* output, int line_length);

// Creates the report file (".html" appended unless the name contains it) and writes
// the head; INVALID_HANDLE_VALUE after "Error Opening File" when it cannot be made.
// The report name may be null (no definition), the server name null or empty.
HANDLE write_report_head(const char* file_name, const char* report_name, const char* server_name);
// One row per top-level item of the chart tree, whose data value is the chart's
// ChartView (charts.h); each chart is made in the chart view's size. FALSE after a
// message when the tree has no item.
BOOL write_chart_rows(HANDLE file, HWND chart_tree, int width, int height);
void write_report_tail(HANDLE file);

// The interactive save: asks for the file ("Select Path and Filename for HTML file",
// proposing VORNIX_REPORT.HTML) and writes the report of the chart tree. FALSE when
// nothing was written (no chart, no file chosen, the file could not be made).
BOOL SaveGraphicalReport(HWND owner, HWND chart_tree, const char* server_name, int width, int height);

// A scheduled run's report: "%sCCR_%s(%d).HTML" in the temporary folder (the
// definition name and the process), written whole; its path in path. FALSE when it
// could not be written. The caller mails it and deletes it.
BOOL WriteScheduledGraphicalReport(HWND chart_tree, const char* definition_name, const char* server_name, int width,
                                   int height, char* path, size_t size);
