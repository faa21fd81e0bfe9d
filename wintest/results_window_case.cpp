// The results window, opened from its template on its own thread (the
// library's code linked in: no export opens it yet): rows added from another
// thread, sorted by column clicks, saved as comma-delimited text through the
// real save-file dialog, and closed.
#include <fstream>
#include <sstream>

#include "reports/results_window.h"
#include "console/list_view.h"
#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr char kCaption[] = "VORNIX Agent Update Results";
constexpr int kFileNameItem = 1148;  // the save-file dialog's file name box

template <typename Condition>
bool eventually(Condition condition) {
  for (int tries = 0; tries < 500; ++tries) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

std::string whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> columns(HWND list) {
  std::vector<std::string> out;
  for (int c = 0;; ++c) {
    char title[64] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column))) return out;
    out.push_back(std::string(title) + " " + std::to_string(column.cx));
  }
}

void click_header(HWND window, int column) { support::click_column_header(window, kResultsListItem, column); }

// The user presses Save and types the name into the save-file dialog.
void save_as(HWND window, const std::string& name) {
  script({"Save As", IDOK, {{kFileNameItem, name}}, nullptr});
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(kResultsSaveButton, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, kResultsSaveButton)));
}

DWORD WINAPI add_rows(LPVOID window) {
  HWND results = static_cast<HWND>(window);
  add_results_row(results, kStepConnecting, "SRV01", "Connect", "OK", "hidden");
  add_results_row(results, kStepCopying, "SRV02", "copy a, b", "said \"done\"", nullptr);
  add_results_row(results, kStepError, "srv03", "Bravo", "line one\nline two", nullptr);
  return 0;
}

}  // namespace

void results_window_case(Session* s) {
  begin_case("results window");
  script({kCaption, kLeaveOpen, {}, nullptr});
  HWND window = open_results_window(nullptr);
  if (!check(window != nullptr, "it opens on its own thread")) return;
  char caption[128] = {};
  GetWindowTextA(window, caption, sizeof caption);
  check_equal(kCaption, caption, "with its template's caption");
  HWND list = GetDlgItem(window, kResultsListItem);
  check_equal({"Step Count: Server 115", "Action 316", "Result 370"}, columns(list), "and its three columns");

  HANDLE operation = CreateThread(nullptr, 0, add_rows, window, 0, nullptr);
  WaitForSingleObject(operation, INFINITE);
  CloseHandle(operation);
  check_equal({"0001: SRV01", "0002: SRV02", "0003: srv03"}, support::list_column(list, 0),
              "rows from the operation's thread are numbered");
  check_equal({"", "", ""}, support::list_column(list, 3), "the fourth cell has no column to keep it");

  click_header(window, 1);
  std::vector<std::string> orders = support::list_column(list, 1);
  click_header(window, 1);
  std::vector<std::string> again = support::list_column(list, 1);
  orders.insert(orders.end(), again.begin(), again.end());
  click_header(window, 0);
  again = support::list_column(list, 0);
  orders.insert(orders.end(), again.begin(), again.end());
  check_equal({"copy a, b", "Connect", "Bravo", "Bravo", "Connect", "copy a, b", "0003: srv03", "0002: SRV02",
               "0001: SRV01"},
              orders, "a column sorts descending, then ascending; another column starts descending");
  click_header(window, 1);
  std::vector<std::string> data;
  for (const support::ListRow& row : support::list_rows(list))
    data.push_back(row.text + " " + std::to_string(reinterpret_cast<uintptr_t>(row.record)));
  check_equal({"0002: SRV02 0", "0001: SRV01 1", "0003: srv03 2"}, data, "each row's data follows its new place");

  std::string name = s->folder + "\\wine\\steps";
  DeleteFileA((name + ".CSV").c_str());
  save_as(window, name);
  check(eventually([&] { return whole_file(name + ".CSV").size() > 100; }), "Save writes the file");
  check_equal("Step Count: Server,Action,Result\r\n"
              "0002: SRV02,\"copy a, b\",\"said \"\"done\"\"\"\r\n"
              "0001: SRV01,Connect,OK\r\n"
              "0003: srv03,Bravo,\"line one\nline two\"\r\n",
              whole_file(name + ".CSV"), "as comma-delimited text, \".CSV\" added to a name without one");
  save_as(window, name + ".txt");
  check(eventually([&] { return GetFileAttributesA((name + ".txt").c_str()) != INVALID_FILE_ATTRIBUTES; }) &&
            GetFileAttributesA((name + ".txt.CSV").c_str()) == INVALID_FILE_ATTRIBUTES,
        "another extension is kept");

  // A folder already has the file's name: the file cannot be created.
  std::string taken = s->folder + "\\wine\\taken";
  CreateDirectoryA((taken + ".CSV").c_str(), nullptr);
  clear_journal();
  save_as(window, taken);
  std::string refusal = "ERROR! | Error 5 occurred during create file [" + taken + ".CSV].\n\nReport aborted.";
  check(eventually([&] {
          for (const Shown& shown : journal())
            if (shown.title + " | " + shown.text == refusal) return true;
          return false;
        }),
        "a file that cannot be created is refused with the error and its name");

  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  check(eventually([&] { return !IsWindow(window) && g_results.window == nullptr; }), "Done closes it");
  check_equal(0, script_left(), "every scripted answer was taken");
}

}  // namespace wintest
