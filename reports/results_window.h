// The results window: the dialog (template ReportAction) in which long
// operations report one numbered row per step, on a thread of its own, with
// sorting by column and saving as comma-delimited text.
#pragma once
#include <cstdint>

#include "host/win32.h"

constexpr int kResultsListItem = 1001;
constexpr int kResultsSaveButton = 1011;
constexpr int kResultsColumnCount = 3;
constexpr uint32_t kStepNumberingOff = 0xEEEE;  // a step counter holding it numbers no rows
constexpr LPARAM kResultsSelector = 1;          // the only view the dialog shows

// Host image numbers of the usual step rows.
constexpr int kStepConnecting = 58;
constexpr int kStepProgress = 5;
constexpr int kStepCopying = 246;
constexpr int kStepDeleting = 243;
constexpr int kStepError = 67;
constexpr int kStepSuccess = 1;

enum SortDirection : int { kNotSorted = 0, kDescending = 1, kAscending = 2 };

constexpr size_t kStepServerBytes = 220;

struct ResultsWindowState {
  volatile HWND window;       // the open results window; null when none
  HANDLE thread;              // its dialog thread
  volatile uint32_t step;     // the step counter
  SortDirection sort[kResultsColumnCount];
  char step_server[kStepServerBytes];  // the server text of step status rows
};
extern ResultsWindowState g_results;

// Opens the results window on its own thread (closing an open one first) and
// waits for it to come up; the title replaces the default one when given.
// Null, after a message, when it did not come up.
HWND open_results_window(const char* title, LPARAM selector = kResultsSelector);
// Adds a step row: "%04d: %s" with the step counter and server (the server
// alone when numbering is off), the action and the result; extra is a fourth
// cell that the list does not show. FALSE after a message when not inserted.
BOOL add_results_row(HWND window, int image, const char* server, const char* action, const char* result,
                     const char* extra);
// The step status row through which long operations report a step: with a
// results window open, a row of the step server, "processing..." and the
// message (image 67 when the message speaks of a failure, else 5); without
// one, the message goes into sub-item 2 of the item of the given list.
void set_step_server(const char* server);
void report_step_status(HWND list, int item, const char* message);
// Closes the open results window and waits for its thread.
void close_results_window();
