// The HTML graphical report: head, chart rows with embedded images, tail.
#include "graphs/html_report.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "graphs/charts.h"
#include "host/host.h"
#include "host/text.h"

namespace {

constexpr char kReportTitle[] = "VORNIX Graphical Analysis Report";
constexpr char kSaveProblem[] = "Graphical Report Save Problem";
constexpr size_t kCaptionBytes = 329;  // a chart tree caption is read up to 328 characters
constexpr char kStyleSheet[] =
    "div {font-family: tahoma,verdana,arial; font-size: 11px; color: #38465A} "
    "td {font-family: tahoma,verdana,arial; font-size: 11px; color: #38465A} "
    "a {color: #38465A} "
    ".dthdr {background-color: #FFFFFF; color: #726C58; font-weight: bold; font-size: 22px; padding-left: 0px} "
    ".dthdr2 {background-color: #FFFFFF; color: #26A660; font-weight: bold; font-size: 16px; padding-left: 0px} "
    ".dt {background-color: #CCCCCC; color: #556988; font-weight: bold; padding-left: 4px} "
    ".dhB {background-color: #FFFFFF; color: #424b87; font-weight: bold; font-size: 12px; padding-left: 4px} "
    ".dh {background-color: #FFFFFF; font-family: segoe,tahoma,verdana,arial; color: #556988; font-weight: bold; "
    "padding-left: 4px; width:315px} "
    ".dhC {background-color: #FFFFFF; font-family: segoe,tahoma,verdana,arial; color: #7c4e57; font-weight: bold; "
    "padding-left: 4px} "
    ".drd {background-color: #FFFFFF; font-family: segoe,tahoma,verdana,arial; color: #556988; font-weight: bold; "
    "font-size: 14px; padding-left: 0px} "
    ".dt1 {background-color: #F9F3F2} "
    ".dt2 {background-color: #FFFFFF} "
    ".severityCritical {color: red; font-weight: bold} "
    ".severityHigh {color: darkorange; font-weight: bold} "
    ".severityNormal {color: green; font-weight: bold} "
    ".severityLow {color: blue; font-weight: bold}";
constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

// The base64 text of one chart; one static buffer, as large as one chart's text may be.
char g_embedding[kEmbeddingBufferBytes + 1];

// Writes text to the report; write errors are not reported (the file is closed at the end).
void put(HANDLE file, const char* text) {
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void put_escaped(HANDLE file, const char* text) {
  std::string escaped(std::strlen(text) * 6 + 1, '\0');
  html_escape(text, &escaped[0], escaped.size());
  put(file, escaped.c_str());
}

bool ends_with_ignoring_case(const char* text, const char* ending) {
  size_t n = std::strlen(text), m = std::strlen(ending);
  return n >= m && equal_ignoring_case(text + n - m, ending);
}

// The chart's title: its caption cut before the first "(" and the character before it.
void chart_title(const char* caption, char* out, size_t size) {
  copy_text(out, size, caption);
  if (char* open = std::strchr(out, '(')) *(open > out ? open - 1 : open) = '\0';
}

// One chart's row: its image as base64 text, or why there is none.
void embed_chart(HANDLE file, const char* image_file, const char* base64_file, const char* title) {
  DeleteFileA(base64_file);
  encode_base64_file(image_file, base64_file, kBase64LineLength);
  put(file, "<TR>");
  char text[600];
  char escaped[400];
  HANDLE encoded = CreateFileA(base64_file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
  if (encoded == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    html_escape(title, escaped, sizeof escaped);
    // No image file, so no base64 file: the chart had no rows to draw.
    if (error == ERROR_FILE_NOT_FOUND) std::snprintf(text, sizeof text, "<BR><BR><TD>No Data Found for Graph (%s)</TD><BR><BR>", escaped);
    else std::snprintf(text, sizeof text, "<BR><BR><TD>Error %u occurred opening UUE file</TD><BR><BR>", static_cast<unsigned>(error));
    put(file, text);
  } else {
    DWORD read = 0;
    BOOL ok = ReadFile(encoded, g_embedding, static_cast<DWORD>(kEmbeddingBufferBytes), &read, nullptr);
    g_embedding[ok ? read : 0] = '\0';
    CloseHandle(encoded);
    // A read that fails writes why in place of the image.
    if (!ok) {
      std::snprintf(text, sizeof text, "<TD>Error %u occurred reading UUE file (%x)</TD><BR><BR>",
                    static_cast<unsigned>(GetLastError()), static_cast<unsigned>(read));
      put(file, text);
    } else {
      put(file, "<TD><img src=\"data:image/png;base64, ");
      put(file, g_embedding);
      put(file, "\" alt=\"base64\" /></TD>");
    }
  }
  put(file, "</TR>");
}

BOOL write_whole_report(const char* file_name, HWND chart_tree, const char* report_name, const char* server_name,
                        int width, int height) {
  HANDLE file = write_report_head(file_name, report_name, server_name);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  write_chart_rows(file, chart_tree, width, height);
  write_report_tail(file);
  return TRUE;
}

HTREEITEM first_chart(HWND chart_tree) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(chart_tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

}  // namespace

void temporary_folder(char* out, size_t size) {
  DWORD n = GetTempPathA(static_cast<DWORD>(size), out);
  if (n == 0 || n >= size) copy_text(out, size, "");
  if (out[0] && out[std::strlen(out) - 1] != '\\') append_text(out, size, "\\");
}

void html_escape(const char* text, char* out, size_t size) {
  copy_text(out, size, "");
  char one[2] = {};
  for (const char* p = text; *p; ++p) {
    const char* entity = *p == '&' ? "&amp;" : *p == '<' ? "&lt;" : *p == '>' ? "&gt;" : *p == '"' ? "&quot;" : nullptr;
    size_t used = std::strlen(out), need = entity ? std::strlen(entity) : 1;
    if (used + need + 1 > size) break;  // a name cut short loses whole characters, never half an entity
    one[0] = *p;
    append_text(out, size, entity ? entity : one);
  }
}

void report_creation_time(const SYSTEMTIME& t, char* out, size_t size) {
  int hour = t.wHour > 12 ? t.wHour - 12 : t.wHour;
  const char* month = t.wMonth >= 1 && t.wMonth <= 12 ? kMonths[t.wMonth - 1] : "?";
  std::snprintf(out, size, "%s %d, %d %d:%02d%s", month, t.wDay, t.wYear, hour, t.wMinute, t.wHour >= 12 ? "pm" : "am");
}

DWORD encode_base64_file(const char* input, const char* output, int line_length) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  HANDLE in = CreateFileA(input, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return GetLastError();
  HANDLE out = CreateFileA(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    CloseHandle(in);
    return error;
  }
  std::string text;
  int column = 0;
  BYTE block[3 * 4096];
  DWORD read = 0, error = 0;
  size_t pending = 0;  // bytes of block not yet encoded (fewer than 3) carried to the next read
  auto emit = [&](char c) {
    text += c;
    if (++column == line_length) text += "\r\n", column = 0;
  };
  while (true) {
    if (!ReadFile(in, block + pending, static_cast<DWORD>(sizeof block - pending), &read, nullptr)) {
      error = GetLastError();
      break;
    }
    size_t have = pending + read, i = 0;
    for (; i + 3 <= have; i += 3) {
      uint32_t v = static_cast<uint32_t>(block[i]) << 16 | block[i + 1] << 8 | block[i + 2];
      for (int shift = 18; shift >= 0; shift -= 6) emit(kAlphabet[(v >> shift) & 63]);
    }
    pending = have - i;
    std::memmove(block, block + i, pending);
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      error = GetLastError();
      break;
    }
    text.clear();
  }
  if (error == 0 && pending > 0) {
    uint32_t v = static_cast<uint32_t>(block[0]) << 16 | (pending > 1 ? block[1] << 8 : 0);
    emit(kAlphabet[(v >> 18) & 63]);
    emit(kAlphabet[(v >> 12) & 63]);
    emit(pending > 1 ? kAlphabet[(v >> 6) & 63] : '=');
    emit('=');
  }
  if (error == 0 && column > 0) text += "\r\n";
  DWORD written = 0;
  if (error == 0 && !WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) error = GetLastError();
  CloseHandle(in);
  CloseHandle(out);
  if (error != 0) DeleteFileA(output);
  return error;
}

HANDLE write_report_head(const char* file_name, const char* report_name, const char* server_name) {
  char path[MAX_PATH + 8];
  copy_text(path, sizeof path, file_name);
  if (!contains_ignoring_case(path, ".html")) append_text(path, sizeof path, ".html");
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    show_message(nullptr, path, "Error Opening File", MB_OK | MB_ICONERROR);
    return INVALID_HANDLE_VALUE;
  }
  bool named = report_name != nullptr && report_name[0] != '\0';
  put(file, "<HTML><HEAD><title>");
  put(file, kReportTitle);
  if (named) {
    put(file, " for ");
    put_escaped(file, report_name);
  }
  put(file, "</title><META content=\"text/html; charset=UTF-8\" http-equiv=Content-Type><META name=GENERATOR "
            "content=\"MSHTML 10.00.9200.16576\"></HEAD>");
  put(file, "<BODY style=\"FONT: 10pt Segoe UI; MARGIN: 4px 4px 1px\"><DIV><STYLE>");
  put(file, kStyleSheet);
  put(file, "</STYLE>");
  put(file, "<DIV><TABLE cellSpacing=1 cellPadding=2 border=0 width=\"100%\"><TBODY><TR><TD class=dthdr vAlign=top>");
  put(file, kReportTitle);
  if (named) {
    put(file, "<BR> for ");
    put_escaped(file, report_name);
  }
  if (server_name != nullptr && server_name[0] != '\0') {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char created[80];
    report_creation_time(now, created, sizeof created);
    put(file, "<BR><BR><font size=\"2\">Produced from activity logs stored on server ");
    put_escaped(file, server_name);
    put(file, "<BR>Report created on ");
    put(file, created);
    put(file, "</font>");
  }
  put(file, "</TD>");
  put(file, "</TR>");
  put(file, "</TBODY></TABLE><BR>");
  return file;
}

BOOL write_chart_rows(HANDLE file, HWND chart_tree, int width, int height) {
  HTREEITEM item = first_chart(chart_tree);
  if (item == nullptr) {
    show_message(nullptr, "No reports included, unable to create report that has a blank definition", kSaveProblem,
                 MB_OK | MB_ICONWARNING);
    return FALSE;
  }
  char folder[MAX_PATH], image_file[MAX_PATH + 32], base64_file[MAX_PATH + 32];
  temporary_folder(folder, sizeof folder);
  std::snprintf(image_file, sizeof image_file, "%sVNXIMAGE(%u).PNG", folder, static_cast<unsigned>(GetCurrentProcessId()));
  std::snprintf(base64_file, sizeof base64_file, "%s000.UUE", folder);
  RECT area = {0, 0, width, height};
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(chart_tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                reinterpret_cast<LPARAM>(item)))) {
    char caption[kCaptionBytes] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_PARAM;
    tv.hItem = item;
    tv.pszText = caption;
    tv.cchTextMax = sizeof caption;
    SendMessageA(chart_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    auto* view = reinterpret_cast<ChartView*>(tv.lParam);
    char title[kCaptionBytes];
    chart_title(caption, title, sizeof title);
    DeleteFileA(image_file);
    if (view != nullptr && ensure_chart_cache(view)) {
      view->to_file = TRUE;
      copy_text(view->image_file, sizeof view->image_file, image_file);
      BuildChart(view, area, title);
      view->to_file = FALSE;
    }
    embed_chart(file, image_file, base64_file, title);
    DeleteFileA(image_file);
  }
  DeleteFileA(base64_file);
  return TRUE;
}

void write_report_tail(HANDLE file) {
  put(file, "</TBODY></TABLE><BR><TD class=dt> </TD><BR><BR>");
  put(file, "Created by VORNIX <a href=\"https://www.brightmere.example/vornix\">Brightmere Software, Inc.</a>");
  put(file, "</DIV></BODY></HTML>");
  CloseHandle(file);
}

BOOL SaveGraphicalReport(HWND owner, HWND chart_tree, const char* server_name, int width, int height) {
  if (first_chart(chart_tree) == nullptr) {
    show_message(owner, "No reports graphs are included, unable to save to HTML", kSaveProblem, MB_OK | MB_ICONWARNING);
    return FALSE;
  }
  char name[MAX_PATH] = "VORNIX_REPORT.HTML";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "HTML File\0*.HTML\0";
  dialog.lpstrFile = name;
  dialog.nMaxFile = sizeof name - 6;  // room for ".html"
  dialog.lpstrTitle = "Select Path and Filename for HTML file";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&dialog)) return FALSE;
  if (!ends_with_ignoring_case(name, ".html")) append_text(name, sizeof name, ".html");
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  BOOL written = write_whole_report(name, chart_tree, nullptr, server_name, width, height);
  SetCursor(previous);
  return written;
}

BOOL WriteScheduledGraphicalReport(HWND chart_tree, const char* definition_name, const char* server_name, int width,
                                   int height, char* path, size_t size) {
  char folder[MAX_PATH];
  temporary_folder(folder, sizeof folder);
  int n = std::snprintf(path, size, "%sCCR_%s(%u).HTML", folder, definition_name,
                        static_cast<unsigned>(GetCurrentProcessId()));
  if (n < 0 || static_cast<size_t>(n) >= size) return FALSE;
  return write_whole_report(path, chart_tree, definition_name, server_name, width, height);
}
