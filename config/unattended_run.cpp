// The unattended run: the current server's scheduled reports made and mailed
// without a user, its texts written to the host's unattended log file.
#include "config/unattended_run.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "config/email_config.h"
#include "config/multi_string.h"
#include "config/schedules.h"
#include "graphs/charts.h"
#include "graphs/html_report.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"

namespace {

constexpr char kNoDestinations[] = "NO Destination Emails configured, aborting";
// Emails holds at most 3700 bytes: no more addresses than that many shortest ones ("a@b" and its end).
constexpr size_t kMostAddresses = kScheduleListBytes / 4;
constexpr size_t kMostReports = 32;
constexpr size_t kMostCharts = 32;
constexpr size_t kCaptionBytes = 329;  // what the report writer reads of a chart's caption
// No chart window shows the charts of an unattended run: they are made in this size.
constexpr int kChartWidth = 800;
constexpr int kChartHeight = 600;

void log_text(const char* text, const char* server) {
  show_unattended_message(nullptr, text, server, MB_OK | MB_ICONINFORMATION);
}

// Mails a written report file to the recipient slots, deletes it and logs what went.
void mail_and_delete(const char* path, const char* server, const char* recipients, size_t count) {
  LONG size = 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER bytes = {};
    GetFileSizeEx(file, &bytes);
    size = bytes.QuadPart > kReportMailMostBytes ? static_cast<LONG>(kReportMailMostBytes)
                                                 : static_cast<LONG>(bytes.QuadPart);
    CloseHandle(file);
  }
  MailReportFile(size, path, server, recipients);
  DeleteFileA(path);
  const char* slash = std::strrchr(path, '\\');
  char text[MAX_PATH + 64];
  std::snprintf(text, sizeof text, "%s mailed to %d recipient%s", slash ? slash + 1 : path, static_cast<int>(count),
                count == 1 ? "" : "s");
  log_text(text, server);
}

// The quick report's file: "QRPT_<server>(<process>).CSV" in the temporary folder, the four
// lists in turn, each written by the host as it saves a list. false when it cannot be made.
bool write_quick_report_file(const char* server, char* path, size_t size) {
  char folder[MAX_PATH];
  temporary_folder(folder, sizeof folder);
  int n = std::snprintf(path, size, "%sQRPT_%s(%u).CSV", folder, server, static_cast<unsigned>(GetCurrentProcessId()));
  if (n < 0 || static_cast<size_t>(n) >= size) return false;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    char text[MAX_PATH + 96];
    std::snprintf(text, sizeof text, "Error %d occurred during create file [%s].\n\nReport aborted.",
                  static_cast<int>(GetLastError()), path);
    log_text(text, server);
    return false;
  }
  if (auto write_list = host_service<HostLoadFileIntoFn>(kHostLoadFileInto))
    for (HWND list : g_quick_report.lists) write_list(file, list);
  CloseHandle(file);
  return true;
}

// A saved graphical report definition's charts: one name per chart, "group,selection,kind" in
// decimal; a name that is not three such numbers naming a chart and a kind is passed over.
bool parse_chart(const char* entry, ChartView* view) {
  unsigned group = 0, selection = 0, kind = 0;
  char rest = 0;
  if (std::sscanf(entry, "%u,%u,%u%c", &group, &selection, &kind, &rest) != 3) return false;
  if (chart_definition_name(group, selection) == nullptr || kind >= kChartKinds) return false;
  *view = ChartView{};
  view->group = group;
  view->selection = selection;
  view->kind = kind;
  return true;
}

// The definition's charts as a chart tree, the HTML report written from it and mailed.
void mail_graphical_report(const char* server, const char* report, const char* recipients, size_t count) {
  DWORD length = 0;
  BYTE* definition = RecallGraphicalReport(server, report, &length);
  if (definition == nullptr) return;
  std::array<ChartView, kMostCharts> views{};
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", 0, 0, 0, kChartWidth, kChartHeight, nullptr, nullptr, nullptr,
                              nullptr);
  size_t charts = 0;
  for_each_name(definition, length, [&](const char* entry) {
    ChartView& view = views[charts];
    if (tree == nullptr || !parse_chart(entry, &view)) return true;
    char kind[64];
    chart_kind_name(view.kind, kind, sizeof kind);
    char caption[kCaptionBytes];
    std::snprintf(caption, sizeof caption, "%s (%s)", chart_definition_name(view.group, view.selection), kind);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = caption;
    insert.item.lParam = reinterpret_cast<LPARAM>(&view);
    SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
    return ++charts < kMostCharts;
  });
  free_block(definition);
  char path[MAX_PATH];
  if (charts == 0) {
    char text[kScheduleNameBytes + 96];
    std::snprintf(text, sizeof text, "No charts in Graphical Report Definition %s, nothing to mail", report);
    log_text(text, server);
  } else if (WriteScheduledGraphicalReport(tree, report, server, kChartWidth, kChartHeight, path, sizeof path)) {
    mail_and_delete(path, server, recipients, count);
  }
  for (size_t i = 0; i < charts; ++i) release_chart_cache(&views[i]);
  if (tree) DestroyWindow(tree);
}

// The reports of the schedule, mailed to its addresses. The schedule is the first enabled
// scheduled graphical activity profile: only those carry addresses and a report period.
void mail_scheduled_reports(HWND screen, const char* server) {
  char schedule[kScheduleNameBytes];
  if (!FirstEnabledGraphicalSchedule(server, schedule, sizeof schedule)) {
    log_text(kNoDestinations, server);
    return;
  }
  // One slot more than the details may fill: the empty slot that ends the recipient list.
  auto* addresses = static_cast<char(*)[kScheduleSlotBytes]>(
      allocate_block(GMEM_ZEROINIT, (kMostAddresses + 1) * kScheduleSlotBytes));
  std::array<char[kScheduleSlotBytes], kMostReports> reports{};
  GraphicalScheduleDetails details = {};
  details.addresses = addresses;
  details.address_capacity = addresses ? kMostAddresses : 0;
  details.names = reports.data();
  details.name_capacity = reports.size();
  GetGraphicalScheduleDetails(server, schedule, &details);
  if (details.address_count == 0) {
    SetGraphicalScheduleValue(server, schedule, "LastErr", reinterpret_cast<const BYTE*>(kNoDestinations),
                              REG_SZ, sizeof kNoDestinations);
    log_text(kNoDestinations, server);
    free_block(addresses);
    return;
  }
  const char* recipients = addresses[0];
  BOOL failed = FALSE;
  if (RunScheduledQuickReport(screen, server, details.days, details.hours, &failed) > 0) {
    char path[MAX_PATH];
    if (write_quick_report_file(server, path, sizeof path))
      mail_and_delete(path, server, recipients, details.address_count);
    for (size_t i = 0; i < details.name_count; ++i)
      mail_graphical_report(server, reports[i], recipients, details.address_count);
  } else if (!failed) {
    // A period in hours is told as the days it reaches into.
    DWORD days = details.days ? details.days : (details.hours + 23) / 24;
    char text[96];
    std::snprintf(text, sizeof text, "No Activity found in Log Files for last %d days", static_cast<int>(days));
    log_text(text, server);
  }
  free_block(addresses);
}

}  // namespace

DWORD UnattendedRun(HWND list) {
  // The current server, as the other list handlers act on it.
  CurrentServer server = current_server();
  EmailConfig settings;
  if (read_email_config(server.name, &settings) != 0 || settings.smtp_server[0] == '\0')
    log_text("Email not configured for server", server.name);
  else
    mail_scheduled_reports(GetParent(list), server.name);
  // Every run ends so: the host may drop its lists without the library freeing their records.
  g_library.store_frozen = 1;
  if (auto request = host_service<HostRequestFn>(kHostRequest))
    request(kHostRequestMagic, 0, nullptr, 0, kHostRequestEndOfUnattendedRun, 0);
  return 1;
}
