// How the console talks to its user: one-line errors, what the library shows
// as it shows it, and the progress of long work.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace console {

// Standard output goes out line by line, so that it keeps its place among the
// error lines; each message box the library shows from now on is printed on
// standard error as it is shown, one line each ("  [message box] TITLE: TEXT"),
// and so is each dialog and menu when standard error is a terminal or with
// --verbose. Modeless windows (progress windows) are not messages and are left
// out. Standard output carries only results.
void begin_output();
void set_verbose(bool verbose);

// A line about the console's own doing on standard error, shown as the dialog
// echoes are (on a terminal or with --verbose).
void note(const std::string& text);

// The rows of the results windows opened since begin_output (or the last
// forget_results_rows), as printed when each was added:
// "0001: SRV02 | Connecting to Registry | ...".
std::vector<std::string> results_rows();
void forget_results_rows();

// Holds back the messages shown from here on, until release_messages prints
// them (print) or forgets them: for steps whose outcome decides whether their
// messages mean anything.
void hold_messages();
void release_messages(bool print);

// Prints "vornix-console: MESSAGE" on standard error; returns the exit code 1.
int fail(const std::string& message);
// The same for a command line the command cannot take (a missing, extra or malformed argument): the exit code
// is 2, that of a usage error, also when the command returns 1 after it (usage_error_shown says so).
int usage_error(const std::string& message);
bool usage_error_shown();

// The last message box or dialog shown, as "title: text"; empty when none
// was shown since forget_last_message.
std::string last_message();
void forget_last_message();

// A local time held as seconds since 1970 (as log file listings hold their
// last-write times), in the one form the console shows dates in: the form of
// the report views' Date/Time column, "Sun Dec  6 10:00:00 2026".
std::string view_time_text(uint32_t local_seconds);

// Listings: one table for people, or CSV (RFC 4180) or JSON for scripts.
enum class Format { kTable, kCsv, kJson };
struct Listing {
  std::string title;                            // the table's line above its rows
  std::vector<std::string> columns;             // CSV's header line, JSON's keys
  std::vector<std::vector<std::string>> rows;   // one cell per column
  std::string none = "(none)";                  // the table's line when there are no rows
  std::vector<size_t> widths = {};              // the table's narrowest width of each column (none: 0)
  bool heading = false;                         // the table shows the column names above its rows
};
// Takes "--format table|csv|json" (table when absent) and "--wide" out of
// args; false after a one-line error.
bool take_format(std::vector<std::string>& args, Format* format);
// A table's rows are indented, their cells padded to the column's widest one
// (or its narrowest width) and one space apart;
// within 100 columns unless --wide, the widest columns' cells cut with "…".
void print_listing(const Listing& listing, Format format);

// A file an output option names: "-" is standard output, written through a
// temporary file with the same ending; an existing folder gets default_name in it.
struct OutputFile {
  std::string named;   // as the option gave it
  std::string path;    // the file to write
  bool to_stdout = false;
};
OutputFile output_file(const std::string& named, const std::string& default_name);
// When an output option names "-", standard output is kept for that output
// alone: every other line the console prints goes to standard error.
void keep_stdout_for_data();
// Sends a standard-output file's content to standard output and removes it;
// false when it could not be read. Nothing to do for other files.
bool deliver_output(const OutputFile& file);
// One line saying where the output went: on standard output, or on standard
// error when the output itself went to standard output.
void say_written(const OutputFile& file, const std::string& line);

// Progress of long work on standard error: on a terminal one line rewritten in
// place; elsewhere only the final line.
void show_progress(const std::string& text);
void end_progress(const std::string& text);
// A line about the long work (on standard error, below the progress line).
void progress_note(const std::string& text);

}  // namespace console
