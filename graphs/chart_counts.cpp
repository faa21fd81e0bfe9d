// The chart definitions and the counting of quick-report rows by label.
#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "graphs/charts.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"

namespace {

// How a counted row's label is made.
enum class Label {
  Key,                    // the key cell (its tail after the last / or \ when the definition says so)
  Column,                 // the label column's cell
  AddressAndWorkstation,  // "ipv4 [workstation]"
  KeyAndClass,            // "activity: object class"
  Prefix,                 // the pass's text
  PrefixAndColumn,        // the pass's text and the label column's cell
};

// One pass over the rows: those whose key cell contains the text (all when null),
// and, when named, whose comment cell contains the comment text.
struct Pass {
  const char* contains;
  const char* prefix;
  const char* comment;
};

struct Equality {
  const char* column;
  const char* value;
};

struct ChartDefinition {
  uint32_t group, selection;
  const char* name;
  QuickReportList list;
  const char* key;  // the key column's heading keyword; null for the activity text (the first column)
  bool tail;
  uint32_t key_field;  // when no heading holds the keyword: the report column whose text the row's record gives
  Label label;
  const char* label_column;
  Equality equal[2];
  const char* comment_column;
  Pass passes[3];
};

constexpr Pass kAllRows = {nullptr, nullptr, nullptr};
constexpr uint32_t kGpoNameColumn = 0x60420900;  // a GPO row's first group-policy text

constexpr ChartDefinition by_column(uint32_t group, uint32_t selection, const char* name, QuickReportList list,
                                    const char* key, bool tail = false) {
  return {group, selection, name, list, key, tail, 0, Label::Key, nullptr, {}, nullptr, {kAllRows}};
}

constexpr ChartDefinition object_events(uint32_t selection, const char* name, const char* object_class) {
  return {kActiveDirectoryCharts, selection, name, kQuickListDirectory, nullptr, false, 0, Label::KeyAndClass, nullptr,
          {{"object class", object_class}}, nullptr,
          {{"AD Create Object", nullptr, nullptr}, {"AD Delete Object", nullptr, nullptr}}};
}

constexpr ChartDefinition kDefinitions[] = {
    by_column(1400, 1, "All File Activity Events", kQuickListFileSystem, nullptr),
    by_column(1400, 2, "File Events per Server", kQuickListFileSystem, "reporting server"),
    by_column(1400, 3, "File Events per Share", kQuickListFileSystem, "share used"),
    by_column(1400, 4, "File Events per User", kQuickListFileSystem, "object"),
    by_column(1400, 5, "File Events per File", kQuickListFileSystem, "path", true),
    by_column(1400, 6, "File Events per Workstation", kQuickListFileSystem, "workstation"),
    by_column(1400, 7, "File Events per IP Address", kQuickListFileSystem, "ipv4"),
    by_column(1400, 8, "File Events per Remote IP Address (Terminal Server)", kQuickListFileSystem, "wts remote add"),
    by_column(1800, 1, "All Server Authentication Events", kQuickListLogon, nullptr),
    by_column(1800, 2, "Logon Failure Types", kQuickListLogon, "logon fail"),
    by_column(1800, 8, "Remote IP Address (Terminal Server)", kQuickListLogon, "wts remote add"),
    {1800, 21, "Bad Passwords from IP", kQuickListLogon, "logon fail", false, 0, Label::AddressAndWorkstation, nullptr, {},
     nullptr, {{"bad password", nullptr, nullptr}}},
    {1800, 22, "Bad Passwords by Account", kQuickListLogon, "logon fail", false, 0, Label::Column, "object", {}, nullptr,
     {{"bad password", nullptr, nullptr}}},
    {1800, 30, "Logon Failures per DC", kQuickListLogon, "logon fail", false, 0, Label::Column, "Reporting Server", {},
     nullptr, {kAllRows}},
    {1800, 50, "Logons per Account", kQuickListLogon, nullptr, false, 0, Label::Column, "object", {}, nullptr,
     {{"logon (", nullptr, nullptr}}},
    by_column(2200, 1, "All Active Directory Events", kQuickListDirectory, nullptr),
    by_column(2200, 2, "Active Directory Events by Object Class", kQuickListDirectory, "object class"),
    by_column(2200, 3, "Active Directory Events by Attribute", kQuickListDirectory, "attribute chang"),
    by_column(2200, 13, "Active Directory Events per DC", kQuickListDirectory, "reporting server", true),
    object_events(14, "Active Directory Create|Delete Computer Object Events", "computer"),
    object_events(15, "Active Directory Create|Delete User Object Events", "user"),
    object_events(16, "Active Directory Create|Delete Group Object Events", "group"),
    {2200, 17, "Active Directory Group Member Events", kQuickListDirectory, nullptr, false, 0, Label::PrefixAndColumn,
     "active directory object", {{"object class", "group"}, {"attribute chang", "member"}}, nullptr,
     {{"AD Add Attribute", "Add Member ", nullptr},
      {"AD Remove Attribute", "Remove Member ", nullptr},
      {"AD Delete Attribute", "Delete All Members ", nullptr}}},
    {2200, 18, "Active Directory Enable|Disable Account", kQuickListDirectory, nullptr, false, 0, Label::Prefix, nullptr,
     {{"attribute chang", "userAccountControl"}}, "attribute comment",
     {{"AD Add Attribute", "Disable Account", "added [account is disabled"},
      {"AD Remove Attribute", "Enable Account", "removed [account is disabled"},
      {"AD Delete Attribute", "Enable Account", "removed [account is disabled"}}},
    by_column(2600, 1, "All GPO Events", kQuickListGpo, nullptr),
    // Chosen: without a "GPO" heading (the GPO view has none), a row's GPO is its first group-policy text.
    {2600, 2, "Events per GPO", kQuickListGpo, "GPO", true, kGpoNameColumn, Label::Key, nullptr, {}, nullptr, {kAllRows}},
    by_column(2600, 3, "GPO Events per DC", kQuickListGpo, "Reporting Server", true),
    by_column(2600, 4, "GPO Events per User", kQuickListGpo, "Requested by"),
};

const ChartDefinition* find_definition(uint32_t group, uint32_t selection) {
  for (const ChartDefinition& d : kDefinitions)
    if (d.group == group && d.selection == selection) return &d;
  return nullptr;
}

// The count table: one static block, emptied before each chart. Labels are found
// through a hash of their lower-case text, which finds what a walk comparing them
// without case would find.
CountEntry g_counts[kCountTableEntries];
size_t g_labels;
constexpr size_t kHashSlots = 32768;  // a power of two above the table's size
int32_t g_hash[kHashSlots];           // entry + 1; 0 for an empty slot
bool g_table_full_shown;              // "Exceed LTable 128" is shown once per session
std::vector<uint32_t> g_order;        // entries by count, largest first

// Lower case as the C locale has it (the library never sets another), without a call per character.
inline unsigned char lower_ascii(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}

uint32_t label_hash(const char* label) {
  uint32_t h = 2166136261u;
  for (const char* p = label; *p; ++p) h = (h ^ lower_ascii(*p)) * 16777619u;
  return h;
}

bool same_label(const char* a, const char* b) {
  for (; *a && lower_ascii(*a) == lower_ascii(*b); ++a, ++b) {
  }
  return lower_ascii(*a) == lower_ascii(*b);
}

// Adds one to the label's count; false when the table is full.
bool count_label(char* label) {
  size_t n = std::strlen(label);
  while (n > 0 && label[n - 1] == ' ') label[--n] = '\0';
  uint32_t slot = label_hash(label) & (kHashSlots - 1);
  for (; g_hash[slot] != 0; slot = (slot + 1) & (kHashSlots - 1)) {
    CountEntry& e = g_counts[g_hash[slot] - 1];
    if (same_label(e.label, label)) {
      ++e.count;
      return true;
    }
  }
  if (g_labels == kCountTableEntries) {
    if (!g_table_full_shown) show_message(nullptr, "Exceed LTable 128", nullptr, MB_OK | MB_ICONWARNING);
    g_table_full_shown = true;
    return false;
  }
  CountEntry& e = g_counts[g_labels];
  copy_text(e.label, sizeof e.label, label);
  e.count = 1;
  g_hash[slot] = static_cast<int32_t>(++g_labels);
  return true;
}

// The columns a definition reads, by position in the list; -1 for none. A key field instead of a key
// column: the key is the text of that report column that each row's record gives.
struct Columns {
  int key = 0, label = -1, second = -1, comment = -1;
  int equal[2] = {-1, -1};
  uint32_t key_field = 0;
};

// The first column after the leftmost whose heading contains the keyword; -1 when none.
int column_of(const std::vector<std::string>& headings, const char* keyword) {
  for (size_t i = 1; i < headings.size(); ++i)
    if (contains_ignoring_case(headings[i].c_str(), keyword)) return static_cast<int>(i);
  return -1;
}

// The headings from the left, up to the first that cannot be read, is empty or is 8001 pixels or wider.
std::vector<std::string> column_headings(HWND list) {
  std::vector<std::string> headings;
  for (int i = 0; i < 1001; ++i) {
    char title[260] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)) ||
        title[0] == '\0' || column.cx >= 8001)
      break;
    headings.emplace_back(title);
  }
  return headings;
}

bool find_columns(HWND list, const ChartDefinition& d, Columns* c) {
  std::vector<std::string> headings = column_headings(list);
  c->key = d.key ? column_of(headings, d.key) : 0;
  if (c->key < 0 && d.key_field != 0) c->key_field = d.key_field;
  bool found = c->key >= 0 || c->key_field != 0;
  auto need = [&](const char* keyword, int* at) {
    if (keyword == nullptr) return;
    *at = column_of(headings, keyword);
    found = found && *at >= 0;
  };
  if (d.label == Label::AddressAndWorkstation) {
    need("ipv4", &c->label);
    need("workstation", &c->second);
  } else if (d.label == Label::KeyAndClass) {
    need("object class", &c->label);
  }
  need(d.label_column, &c->label);
  need(d.comment_column, &c->comment);
  for (int i = 0; i < 2; ++i) need(d.equal[i].column, &c->equal[i]);
  return found;
}

void read_cell(HWND list, int row, int column, char* out, size_t size) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = out;
  item.cchTextMax = static_cast<int>(size);
  out[0] = '\0';
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// A row's text of a report column as its record gives it; empty for a row that holds no event (a stop row).
void read_record_field(HWND list, int row, uint32_t field, char* out, size_t size) {
  out[0] = '\0';
  auto* record = reinterpret_cast<BYTE*>(list_row_param(list, row));
  void* item = nullptr;
  if (record != nullptr && row_item(record, &item) != kLogFamilyNone) report_column_text(record, field, out, size);
}

// Rows that are no event: empty cells, cells starting with a blank or control character,
// and the stop rows of a report ("_USER REQUESTED ...", "_MAXIMUM RECORD COUNT ...").
bool skipped(const char* key) {
  if (key[0] == '\0' || static_cast<unsigned char>(key[0]) < '!') return true;
  // Both stop words start with "_": most cells have none and need no search.
  return std::strchr(key, '_') != nullptr &&
         (contains_ignoring_case(key, "_user") || contains_ignoring_case(key, "_MAXIMUM RECORD COUNT"));
}

const char* after_last_separator(const char* text) {
  const char* tail = text;
  for (const char* p = text; *p; ++p)
    if (*p == '/' || *p == '\\') tail = p + 1;
  return tail;
}

// The share of rows counted, over all passes, as the window that shows it learns it: it is
// repainted at each whole ten percent reached (0 to 100), so at most 11 times whatever the
// number of rows, and never once per row.
struct RowProgress {
  ChartView* view;  // null: nobody watches
  int64_t total, done, next;  // rows of all passes; rows counted; the count at which the next ten percent is reached
};

void show_progress(RowProgress* p) {
  int percent = p->total > 0 ? static_cast<int>(p->done * 100 / p->total) / 10 * 10 : 0;
  p->next = p->total > 0 ? (static_cast<int64_t>(percent + 10) * p->total + 99) / 100 : INT64_MAX;
  p->view->counting = TRUE;
  p->view->percent = percent;
  InvalidateRect(p->view->progress_window, nullptr, FALSE);
  UpdateWindow(p->view->progress_window);
}

inline void row_counted(RowProgress* p) {
  if (p->view != nullptr && ++p->done >= p->next) show_progress(p);
}

// Counts the rows of one pass; false when the table filled up.
bool count_pass(HWND list, int rows, const ChartDefinition& d, const Columns& c, const Pass& pass,
                RowProgress* progress) {
  static char key[kKeyCellBytes], cell[kKeyCellBytes], other[kKeyCellBytes];
  char label[kKeyCellBytes * 2 + 8];
  for (int row = 0; row < rows; row_counted(progress), ++row) {
    if (c.key_field != 0) read_record_field(list, row, c.key_field, key, sizeof key);
    else read_cell(list, row, c.key, key, sizeof key);
    if (skipped(key) || (pass.contains && !contains_ignoring_case(key, pass.contains))) continue;
    bool wanted = true;
    for (int i = 0; i < 2 && wanted; ++i) {
      if (c.equal[i] < 0) continue;
      read_cell(list, row, c.equal[i], cell, sizeof cell);
      wanted = equal_ignoring_case(cell, d.equal[i].value);
    }
    if (wanted && c.comment >= 0) {
      read_cell(list, row, c.comment, cell, sizeof cell);
      wanted = contains_ignoring_case(cell, pass.comment);
    }
    if (!wanted) continue;
    switch (d.label) {
      case Label::Key:
        copy_text(label, sizeof label, d.tail ? after_last_separator(key) : key);
        break;
      case Label::Column:
        read_cell(list, row, c.label, label, sizeof label);
        break;
      case Label::AddressAndWorkstation:
        read_cell(list, row, c.label, cell, sizeof cell);
        read_cell(list, row, c.second, other, sizeof other);
        std::snprintf(label, sizeof label, "%s [%s]", cell, other);
        break;
      case Label::KeyAndClass:
        read_cell(list, row, c.label, cell, sizeof cell);
        std::snprintf(label, sizeof label, "%s: %s", key, cell);
        break;
      case Label::Prefix:
        copy_text(label, sizeof label, pass.prefix);
        break;
      case Label::PrefixAndColumn:
        read_cell(list, row, c.label, cell, sizeof cell);
        std::snprintf(label, sizeof label, "%s%s", pass.prefix, cell);
        break;
    }
    label[kCountLabelBytes - 1] = '\0';  // a label keeps at most 291 characters
    if (!count_label(label)) return false;
  }
  return true;
}

}  // namespace

const char* chart_definition_name(uint32_t group, uint32_t selection) {
  const ChartDefinition* d = find_definition(group, selection);
  return d ? d->name : nullptr;
}

BOOL count_chart_rows(HWND list, uint32_t group, uint32_t selection, size_t* labels, ChartView* progress) {
  std::memset(g_counts, 0, sizeof g_counts);
  std::memset(g_hash, 0, sizeof g_hash);
  g_labels = 0;
  g_order.clear();
  *labels = 0;
  const ChartDefinition* d = find_definition(group, selection);
  if (d == nullptr) return FALSE;
  Columns columns;
  if (!find_columns(list, *d, &columns)) {
    char text[64];
    std::snprintf(text, sizeof text, "Break - No MC 922 [%X]", static_cast<unsigned>(selection));
    show_message(nullptr, text, "Unable to Graph", MB_OK | MB_ICONWARNING);
    return FALSE;
  }
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int passes = 1;  // the passes end at the first empty one after the first
  while (passes < 3 && d->passes[passes].contains != nullptr) ++passes;
  RowProgress watched = {progress, static_cast<int64_t>(rows) * passes, 0, 0};
  if (progress != nullptr && progress->progress_window != nullptr) show_progress(&watched);
  else watched.view = nullptr;
  for (int pass = 0; pass < passes; ++pass)
    if (!count_pass(list, rows, *d, columns, d->passes[pass], &watched)) break;
  *labels = g_labels;
  return TRUE;
}

const CountEntry* sorted_chart_counts(size_t* labels) {
  if (g_order.size() != g_labels) {
    g_order.resize(g_labels);
    for (size_t i = 0; i < g_labels; ++i) g_order[i] = static_cast<uint32_t>(i);
    std::sort(g_order.begin(), g_order.end(), [](uint32_t a, uint32_t b) { return g_counts[a].count > g_counts[b].count; });
    // The entries themselves in that order, as one sorted table.
    static CountEntry sorted[kCountTableEntries];
    for (size_t i = 0; i < g_labels; ++i) sorted[i] = g_counts[g_order[i]];
    std::memcpy(g_counts, sorted, g_labels * sizeof(CountEntry));
    std::memset(g_hash, 0, sizeof g_hash);  // the positions changed: the table is done counting
  }
  *labels = g_labels;
  return g_counts;
}
