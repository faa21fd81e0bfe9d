// Chart building: the rows of one quick-report list counted by the text of
// one column, the 25 largest counts drawn as a pie, donut or bar chart with
// the charting library chartdir51.dll, shown in the chart view as a bitmap or
// written to an image file for the HTML graphical report.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

// ---- Counting ------------------------------------------------------------------

constexpr size_t kCountLabelBytes = 292;  // 291 characters and the NUL
struct CountEntry {
  char label[kCountLabelBytes];
  int32_t count;
};
static_assert(sizeof(CountEntry) == 296, "count table entries");
constexpr size_t kCountTableEntries = 20000;
constexpr size_t kChartTopEntries = 25;
constexpr size_t kKeyCellBytes = 1263;  // a key cell is read up to 1262 characters

// The chart definitions' groups (the host's graph tree).
constexpr uint32_t kFileActivityCharts = 1400;
constexpr uint32_t kServerAuthenticationCharts = 1800;
constexpr uint32_t kActiveDirectoryCharts = 2200;
constexpr uint32_t kGpoCharts = 2600;

// The name of a chart definition; null for a group and selection that name none.
const char* chart_definition_name(uint32_t group, uint32_t selection);

struct ChartView;
// Counts the rows of a quick-report list for the chart definition into the count
// table, emptied first. FALSE after "Unable to Graph" when the list has no column
// the definition needs, or for a group and selection that name no chart; else the
// number of labels counted in *labels. With a view to report to, the share of rows
// counted goes to its progress window as it grows.
BOOL count_chart_rows(HWND list, uint32_t group, uint32_t selection, size_t* labels, ChartView* progress = nullptr);
// The counted entries, largest count first (equal counts in any order): the first
// min(labels, 25) are the ones drawn.
const CountEntry* sorted_chart_counts(size_t* labels);

// ---- Drawing -------------------------------------------------------------------

constexpr uint32_t kChartKinds = 8;  // 3D Pie ... Bar Horizontal
constexpr uint32_t kFirstBarKind = 6;
// The kind's name as the chart-kind chooser shows it; "?%d?" for other numbers.
void chart_kind_name(uint32_t kind, char* out, size_t size);

// The chart cache: a block of the host's (72 bytes in the 32-bit DLL) holding the
// kind shown, then for each kind the last image made and its pixels.
constexpr size_t kChartCacheSlots = 1 + 2 * kChartKinds;
constexpr size_t kChartCacheBytes = 18 * sizeof(uintptr_t);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(kChartCacheBytes == 72, "the chart cache block");
#endif

// The state of a chart report window, and of each chart of a graphical report.
struct ChartView {
  uint32_t group;
  uint32_t selection;
  uint32_t kind;
  BOOL to_file;                 // building for the HTML report: the chart goes to image_file
  char image_file[MAX_PATH];
  uintptr_t* cache;             // kChartCacheBytes from the host's allocation; null until made
  const BYTE* image;   // the image shown: its bitmap info header, past the file header
  const BYTE* pixels;  // its pixels
  HWND progress_window;  // repainted while the rows are counted for it; null for none
  BOOL counting;         // the rows are being counted for the progress window
  int percent;           // while counting: the share of rows counted, in whole tens of percent
  uint32_t report_run;   // the quick report run whose rows the cached images show
};

// Makes the view's cache block when it has none; FALSE when it cannot be had.
BOOL ensure_chart_cache(ChartView* view);
// Frees the cached images and the cache block (a new selection, a closed window).
void release_chart_cache(ChartView* view);
// Whether the images the view holds were made from the rows of an earlier quick report run.
bool chart_images_stale(const ChartView* view);

// Builds the view's chart in a rectangle of that size with the title: shown again
// from the cache when the kind was drawn before from the rows of the same quick
// report run (not when building for a file), else counted (the progress shown in
// the view's progress window, when it has one and is not building for a file) and
// drawn. 1 when a chart was shown or written; 0 when nothing was drawn (no cache
// block, no such chart, no key column, no rows, no charting library), and then the
// view shows no image.
DWORD BuildChart(ChartView* view, const RECT& area, const char* title);

// The subtitle below the title: the quick report's time range, " *Report Aborted,
// partial results*" after a stopped report, and for pies of more than 25 labels the
// grey " (Showing Top 25 values)" note.
void chart_subtitle(uint32_t window_start, uint32_t window_end, bool stopped, bool top_25_note, char* out,
                    size_t size);

// "View Graphical Analysis" of a quick report's results list: opens the host's graphical analysis page,
// whose charts count the quick report's rows. 0 when the list's host names no such page.
DWORD OpenGraphicalAnalysis(HWND owner, HWND list);

// Process detach: the charting library is let go.
void release_chart_library();
