#include "console/console_output.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include <commctrl.h>
#include <nlohmann/json.hpp>

#include "console/command_line.h"

#include "win32/ui_script.h"

namespace console {
namespace {

std::mutex g_lock;
std::string g_last_message;
bool g_holding = false;
std::vector<std::string> g_held;  // message lines held back
bool g_usage_error_shown = false;  // the exit code is then 2
std::atomic<bool> g_progress_shown{false};  // a progress line without its end is on the terminal
bool g_verbose = false;
int g_data_fd = STDOUT_FILENO;  // where output named "-" goes

bool stderr_is_terminal() {
  static const bool terminal = isatty(fileno(stderr)) != 0;
  return terminal;
}

// Ends an unfinished progress line so that the next line starts on its own.
void end_progress_line() {
  if (g_progress_shown.exchange(false)) std::fputc('\n', stderr);
}

// The results window's rows, printed as each is completed (its result cell set) and kept.
WNDPROC g_list_proc;
std::vector<std::string> g_results_rows;

// The image of a results row whose step has begun; its outcome row follows.
constexpr int kStepBegunImage = 5;

int row_image(HWND list, WPARAM row) {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = static_cast<int>(row);
  CallWindowProcA(g_list_proc, list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

LRESULT CALLBACK results_list_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = CallWindowProcA(g_list_proc, list, message, wparam, lparam);
  const auto* cell = reinterpret_cast<const LVITEMA*>(lparam);
  if (message != LVM_SETITEMTEXTA || cell == nullptr || cell->iSubItem != 2) return result;
  std::string line;
  for (int column = 0; column < 3; ++column) {
    char text[1100] = {};
    LVITEMA read = {};
    read.iSubItem = column;
    read.pszText = text;
    read.cchTextMax = sizeof text;
    CallWindowProcA(g_list_proc, list, LVM_GETITEMTEXTA, wparam, reinterpret_cast<LPARAM>(&read));
    line += (column ? " | " : "") + one_line(text);
  }
  std::lock_guard<std::mutex> guard(g_lock);
  g_results_rows.push_back(line);
  // A step begun ("...") is followed by its outcome row: it is only progress, shown in place on a terminal.
  if (cell->pszText && std::strcmp(cell->pszText, "...") == 0 && row_image(list, wparam) == kStepBegunImage) {
    if (stderr_is_terminal()) {
      std::fprintf(stderr, "\r  %s\033[K", line.c_str());
      g_progress_shown = true;
    }
    return result;
  }
  end_progress_line();
  std::printf("  %s\n", line.c_str());
  return result;
}

void print_entry(const ui::JournalEntry& entry) {
  if (entry.kind == "modeless dialog" && entry.template_name == "ReportAction" && entry.window) {
    HWND list = GetDlgItem(entry.window, 1001);
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&results_list_proc)));
    if (previous != &results_list_proc) g_list_proc = previous;
  }
  if (entry.kind.find("modeless") != std::string::npos) return;
  std::string text = entry.text;
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  std::lock_guard<std::mutex> guard(g_lock);
  g_last_message = entry.title + ": " + text;
  std::string line = "  [" + entry.kind + "] " + g_last_message + "\n";
  // Message boxes always reach standard error; dialogs and menus only for a person watching or with --verbose.
  if (entry.kind != "message box" && !g_verbose && !stderr_is_terminal()) return;
  if (g_holding) {
    g_held.push_back(line);
    return;
  }
  end_progress_line();
  std::fflush(stdout);
  std::fputs(line.c_str(), stderr);
}

}  // namespace

void set_verbose(bool verbose) { g_verbose = verbose; }

void note(const std::string& text) {
  if (!g_verbose && !stderr_is_terminal()) return;
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text.c_str());
}

void begin_output() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  ui::set_journal_listener(&print_entry);
}

std::vector<std::string> results_rows() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_results_rows;
}

void forget_results_rows() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_results_rows.clear();
}

void hold_messages() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_holding = true;
}

void release_messages(bool print) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (print)
    for (const std::string& line : g_held) {
      std::fflush(stdout);
      std::fputs(line.c_str(), stderr);
    }
  g_held.clear();
  g_holding = false;
}

int fail(const std::string& message) {
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "vornix-console: %s\n", message.c_str());
  return 1;
}

int usage_error(const std::string& message) {
  fail(message);
  std::lock_guard<std::mutex> guard(g_lock);
  g_usage_error_shown = true;
  return 2;
}

bool usage_error_shown() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_usage_error_shown;
}

std::string last_message() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_last_message;
}

void forget_last_message() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_last_message.clear();
}

std::string view_time_text(uint32_t local_seconds) {
  time_t seconds = static_cast<time_t>(local_seconds);
  struct tm broken;
  char text[40] = "<undefined>";
  if (local_seconds != 0 && gmtime_r(&seconds, &broken)) std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &broken);
  return text;
}

OutputFile output_file(const std::string& named, const std::string& default_name) {
  OutputFile file{named, named, named == "-"};
  std::error_code ec;
  if (file.to_stdout) {
    size_t dot = default_name.rfind('.');
    file.path = (std::filesystem::temp_directory_path() /
                 ("vornix-out-" + std::to_string(getpid()) + "-" + default_name.substr(0, dot) +
                  (dot == std::string::npos ? "" : default_name.substr(dot))))
                    .string();
  } else if (std::filesystem::is_directory(named, ec)) {
    file.path = (std::filesystem::path(named) / default_name).string();
  }
  return file;
}

void keep_stdout_for_data() {
  std::fflush(stdout);
  if (g_data_fd == STDOUT_FILENO) g_data_fd = dup(STDOUT_FILENO);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

bool deliver_output(const OutputFile& file) {
  if (!file.to_stdout) return true;
  std::ifstream in(file.path, std::ios::binary);
  if (!in) return false;
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  char block[65536];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    const ssize_t size = in.gcount();
    for (ssize_t done = 0; done < size;) {
      ssize_t n = write(g_data_fd, block + done, static_cast<size_t>(size - done));
      if (n <= 0) return false;
      done += n;
    }
  }
  std::error_code ec;
  std::filesystem::remove(file.path, ec);
  return true;
}

void say_written(const OutputFile& file, const std::string& line) {
  if (file.to_stdout) progress_note(line);
  else std::printf("%s\n", line.c_str());
}

namespace {

constexpr size_t kTableColumns = 100;
constexpr size_t kNarrowestCut = 8;  // a cut column keeps at least this many columns
bool g_wide = false;

// Screen columns of UTF-8 text: one per character (continuation bytes do not count).
size_t columns_of(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// The text cut to `width` columns, its last one "…" when cut.
std::string fit(const std::string& text, size_t width) {
  if (columns_of(text) <= width) return text + std::string(width - columns_of(text), ' ');
  std::string cut;
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80 && ++n == width) break;
    cut += text[i];
  }
  return cut + "\xE2\x80\xA6";  // "…"
}

std::string csv_field(const std::string& cell) {
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void print_table(const Listing& listing) {
  if (!listing.title.empty()) std::printf("%s\n", listing.title.c_str());
  if (listing.rows.empty()) {
    if (!listing.none.empty()) std::printf("  %s\n", listing.none.c_str());
    return;
  }
  std::vector<const std::vector<std::string>*> lines;
  if (listing.heading) lines.push_back(&listing.columns);
  for (const auto& row : listing.rows) lines.push_back(&row);
  std::vector<size_t> widths(listing.columns.size(), 0);
  for (size_t c = 0; c < widths.size() && c < listing.widths.size(); ++c) widths[c] = listing.widths[c];
  for (const auto* row : lines)
    for (size_t c = 0; c < row->size() && c < widths.size(); ++c) widths[c] = std::max(widths[c], columns_of((*row)[c]));
  auto total = [&] {
    size_t sum = 2 + widths.size() - 1;
    for (size_t w : widths) sum += w;
    return sum;
  };
  // The widest column gives up a column at a time until the table fits.
  while (!g_wide && total() > kTableColumns) {
    size_t widest = static_cast<size_t>(std::max_element(widths.begin(), widths.end()) - widths.begin());
    if (widths[widest] <= kNarrowestCut) break;
    --widths[widest];
  }
  // Columns cut to their narrowest that still do not fit are left out from the last, and said so.
  size_t left_out = 0;
  while (!g_wide && total() > kTableColumns && widths.size() > 1) widths.pop_back(), ++left_out;
  for (const auto* row : lines) {
    std::string line;
    for (size_t c = 0; c < widths.size(); ++c) {
      std::string cell = fit(c < row->size() ? one_line((*row)[c]) : "", widths[c]);
      line += (c ? " " : "  ") + cell;
    }
    line.erase(line.find_last_not_of(' ') + 1);
    std::printf("%s\n", line.c_str());
  }
  if (left_out)
    std::printf("  (%zu more column%s: --wide or --format csv shows them)\n", left_out, left_out == 1 ? "" : "s");
}

}  // namespace

bool take_format(std::vector<std::string>& args, Format* format) {
  bool missing = false;
  std::string name = take_option(args, "--format", &missing);
  g_wide = take_flag(args, "--wide") || g_wide;
  if (name.empty() && !missing) name = "table";
  if (name == "table") *format = Format::kTable;
  else if (name == "csv") *format = Format::kCsv;
  else if (name == "json") *format = Format::kJson;
  else return usage_error("--format takes table, csv or json"), false;
  return true;
}

void print_listing(const Listing& listing, Format format) {
  if (format == Format::kTable) return print_table(listing);
  if (format == Format::kCsv) {
    std::string text;
    auto add_line = [&](const std::vector<std::string>& cells) {
      for (size_t c = 0; c < listing.columns.size(); ++c)
        text += (c ? "," : "") + csv_field(c < cells.size() ? cells[c] : "");
      text += "\r\n";
    };
    add_line(listing.columns);
    for (const auto& row : listing.rows) add_line(row);
    std::fputs(text.c_str(), stdout);
    return;
  }
  // Keys in column order, as the table shows them.
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const auto& row : listing.rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (size_t c = 0; c < listing.columns.size(); ++c) object[listing.columns[c]] = c < row.size() ? row[c] : "";
    rows.push_back(object);
  }
  std::printf("%s\n", rows.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
}

void show_progress(const std::string& text) {
  if (!stderr_is_terminal()) return;
  std::lock_guard<std::mutex> guard(g_lock);
  std::fprintf(stderr, "\r%s\033[K", text.c_str());  // the rest of a longer line before it is erased
  g_progress_shown = true;
}

void end_progress(const std::string& text) {
  std::lock_guard<std::mutex> guard(g_lock);
  std::fflush(stdout);
  if (g_progress_shown.exchange(false)) std::fprintf(stderr, "\r%s\033[K\n", text.c_str());
  else std::fprintf(stderr, "%s\n", text.c_str());
}

void progress_note(const std::string& text) {
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace console
