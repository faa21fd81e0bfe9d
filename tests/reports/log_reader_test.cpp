// The log reader and the report column texts, on the library's code linked
// into the test: files written by the log writer are read into a host list
// through the substitute host's insert-report-row service, and each cell is
// asked of the text entry point as the host asks it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "tests/support/list_rows.h"
#include "sim/logwriter.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

constexpr int kBase = 1000;  // the report icon base the tests give the library

using Row = support::ListRow;
using support::journal_has;

class LogReader : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.base_image_index = kBase;
    g_library.search_cancel = 0;
    g_library.quiet_mode = 0;
    g_report_run = ReportRunState{};
    g_report_run.show_utc = 1;
    g_report_run.time_format = 3;
    std::memset(&g_quick_report, 0, sizeof g_quick_report);
    folder_ = world_.folder() + "/logs";
    std::filesystem::create_directories(folder_);
    screen_ = CreateWindowExA(0, "VornixScreen", "Report", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    list_ = make_list(1);
    std::memset(context_, 0, sizeof context_);
    set_row_server_name(context_, "FS1");
    host::clear_service_calls();
    ui::clear_journal();
  }

  void TearDown() override {
    release_rows(list_);
    for (HWND l : g_quick_report.lists)
      if (l) release_rows(l);
  }

  HWND make_list(int id) {
    return CreateWindowExA(0, "SysListView32", "", WS_CHILD, 0, 0, 100, 100, screen_,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }

  void release_rows(HWND list) { support::release_list_rows(list); }
  std::vector<Row> rows(HWND list) { return support::list_rows(list); }

  std::string save(const support::LogWriter& log, const std::string& name = "x_FS1d_March072016.vnx") {
    std::string path = folder_ + "/" + name;
    EXPECT_TRUE(log.save(path));
    return path;
  }

  std::vector<Row> read(const std::string& path) {
    LogReadRequest request = {list_, 77, path.c_str(), context_, {5, 6}, nullptr};
    read_activity_log(&request);
    return rows(list_);
  }

  // A cell as the host asks for it: the row's record as third argument, into its buffer.
  std::string cell(const Row& row, uint32_t column) {
    char text[kColumnTextBytes] = "untouched";
    LONG value = 0;
    EXPECT_EQ(entry_point_text_services(screen_, nullptr, reinterpret_cast<uintptr_t>(row.record), 0, 0, 1, text,
                                        &value, 0, 0, 0, column, 7),
              0u);
    EXPECT_EQ(value, -3);
    return text;
  }
  // Several cells of one row, each failure naming its column.
  void expect_cells(const Row& row, std::initializer_list<std::pair<uint32_t, std::string>> cells) {
    for (const auto& [column, want] : cells) EXPECT_EQ(cell(row, column), want) << std::hex << column;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  std::string folder_;
  HWND screen_ = nullptr;
  HWND list_ = nullptr;
  BYTE context_[kRowContextBytes];
};

// A log in memory whose bytes from `fails_at` on cannot be read, as when the link to the server drops:
// a read that reaches them delivers the bytes before them and fails.
struct BrokenLog {
  LogMemory memory;
  uint64_t fails_at;
};
BOOL read_broken(void* context, uint64_t position, BYTE* out, DWORD count, DWORD* got) {
  auto* log = static_cast<BrokenLog*>(context);
  if (position + count <= log->fails_at) return read_log_memory_at(&log->memory, position, out, count, got);
  DWORD before = position < log->fails_at ? static_cast<DWORD>(log->fails_at - position) : 0;
  read_log_memory_at(&log->memory, position, out, before, got);
  SetLastError(ERROR_BAD_NETPATH);
  return FALSE;
}

using Texts = std::vector<std::string>;
using Shown = std::vector<std::pair<std::string, int>>;

// The activity texts of the rows; and with their icons.
Texts texts(const std::vector<Row>& rows) {
  Texts out;
  for (const Row& r : rows) out.push_back(r.text);
  return out;
}
Shown shown(const std::vector<Row>& rows) {
  Shown out;
  for (const Row& r : rows) out.emplace_back(r.text, r.image);
  return out;
}

TEST_F(LogReader, FileRecordsTheirActivitiesAndColumns) {
  support::LogWriter log;
  FileLogRecord plain = support::sample_file_record(0xFF330001, 1);  // rename of a file
  plain.folder = 0;
  plain.event_time = 951830055;  // 29 February 2000 13:14:15 UTC
  std::memcpy(plain.ipv4, "\x0a\x01\x02\x03", 4);
  FileLogRecord wts = support::sample_file_record(0xFF330002, 2);
  wts.action = 0x40000000;  // create
  wts.folder = 1;
  FileLogRecord acl = support::sample_file_record(0xFF330002, 3);
  acl.action = 0x00100010;  // ACL add ACE on a folder
  acl.folder = 1;
  acl.wts_address[0] = '\0';
  acl.access_mask = 0x001F01FF;
  acl.inheritance = 3;
  acl.ace_type = 0x33;
  FileLogRecord share_acl = acl;
  share_acl.action = 0x00101004;
  share_acl.access_mask = 0x2;
  share_acl.trustee_domain[0] = '\0';
  for (const FileLogRecord& r : {plain, wts, acl, share_acl}) log.add(r);
  Shown want = {{"Rename File", 246}, {"Create Folder", 244}, {"ACL Add ACE on Folder", 155},
                {"ACL Remove ACE on Share", kBase + 87}};
  // Then activity texts and icons straight from the table, with the folder word and blocked flag.
  uint32_t seed = 10;
  for (auto [type, action, folder, blocked, text, image] : {
           std::tuple<uint32_t, uint32_t, BYTE, BYTE, const char*, int>{0xFF330001, 0x10, 1, 0,
                                                                        "Block Delete on Folder", 267},
           {0xFF330001, 0xFF, 0, 0, "Open File", 250},
           {0xFF330001, 0x00020000, 1, 0, "Delete Confirmed for Folder", kBase + 119},
           {0xFF330001, 0x10000000, 0, 1, "Block Delete File", 267},
           {0xFF330001, 0x10020000, 1, 0, "Delete Folder", kBase + 12},
           {0xFF330001, 0x10000000, 0, 0, "Delete File", 243},
           {0xFF330001, 0x80000000, 1, 1, "Rename Folder", kBase + 17},
           {0xFF330001, 0x80000000, 1, 0, "Rename Folder", kBase + 11},
           {0xFF330001, 0x00210000, 0, 0, "ACL Tree Set Owner on File", kBase + 76},
           {0xFF330002, 0x12345, 0, 0, "?01code = FF330002|12345?", 36},
           {0xE4001001, 0x40000000, 0, 0, "Create File", kBase + 113},
           {0xE4081001, 0xFF, 0, 0, "?02code = ff?", 36},
           {0xE4001001, 0x80000000, 1, 0, "Rename Folder", kBase + 11},
       }) {
    if (type >> 24 == 0xFF) {
      FileLogRecord r = support::sample_file_record(type, ++seed);
      r.action = action, r.folder = folder, r.blocked = blocked;
      log.add(r);
    } else {
      GpoFileLogRecord r = support::sample_gpo_file_record(type, ++seed);
      r.head.action = action, r.head.folder = folder;
      log.add(r);
    }
    want.emplace_back(text, image);
  }
  std::vector<Row> got = read(save(log));
  ASSERT_EQ(shown(got), want);

  const Row& r = got[0];
  EXPECT_EQ(row_u32(r.record, kRowTypeOffset), 0xFF330001u);
  EXPECT_EQ(row_u32(r.record, kRowActionOffset), 0x80000000u);
  // 0xFF330001 ignores the address text; renames keep the new name; not an ACL action; D01, E01: no such field.
  expect_cells(r, {{0x60420801, "FS1"}, {0x60420802, plain.profile}, {0x60420803, "02/29/00 13:14:15"},
                   {0x60420804, plain.workstation}, {0x6042080C, plain.workstation},
                   {0x60420805, "10.1.2.3"}, {0x6042080D, ""}, {0x60420807, plain.account},
                   {0x60420808, plain.account_fqdn}, {0x60420809, plain.sid}, {0x6042080B, "TRUE"},
                   {0x60420F14, plain.share}, {0x60420F0B, "FALSE"}, {0x60420F0C, "FALSE"},
                   {0x60420F0D, plain.new_name}, {0x60420F0E, ""}, {0x60420F16, ""}, {0x60420D01, "<unknown>"},
                   {0x60420E01, "<unknown>"}});
  EXPECT_EQ(row_u32(r.record, kRowTimeSortKeyOffset), plain.event_time);  // the time column also sets the sort key
  // Creates drop the new name.
  expect_cells(got[1], {{0x60420805, wts.wts_address}, {0x6042080D, wts.wts_address}, {0x60420F0D, ""},
                        {0x60420F0A, wts.folder_path}});
  expect_cells(got[2], {{0x60420F0D, ""}, {0x60420F0F, acl.new_name}, {0x60420F0E, acl.trustee_sid},
                        {0x60420F15, std::string(acl.trustee_domain) + "\\" + acl.trustee_name},
                        {0x60420F10, "Full Control,[AllAccess to dacl],"},
                        {0x60420F12, "This folder, subfolders and files"}, {0x60420F16, "DENY"}});
  expect_cells(got[3], {{0x60420F10, "Change"}, {0x60420F15, share_acl.trustee_name}});
}

TEST_F(LogReader, FileColumnRulesOnHandMadeItems) {
  FileLogRecord f = {};
  f.type = 0xFF330001;
  f.action = 0x00100100;
  std::strcpy(f.file_name, "a.txt");
  BYTE context[kRowContextBytes] = {};
  char text[kColumnTextBytes];
  auto column = [&](uint32_t id) {
    FileRowItem* item = make_file_row_item(f, TRUE);
    set_row_item(context, kLogFamilyFile, item);
    report_column_text(context, id, text, sizeof text);
    free_report_row_item(kLogFamilyFile, item);
    return std::string(text);
  };
  // The path joins folder and name with one separator; a folder's path is the folder, unless it is empty;
  // on a local share ("<local>") a separator is always added.
  for (auto [path, folder, share, want] :
       {std::tuple{"C:\\data", 0, "DATA", "C:\\data\\a.txt"}, {"C:\\data\\", 0, "DATA", "C:\\data\\a.txt"},
        {"C:\\data\\", 1, "DATA", "C:\\data\\"}, {"C:\\data\\", 1, "<local>", "C:\\data\\\\a.txt"},
        {"", 0, "DATA", "\\a.txt"}, {"", 1, "DATA", "\\a.txt"}}) {
    std::strcpy(f.folder_path, path);
    std::strcpy(f.share, share);
    f.folder = static_cast<BYTE>(folder);
    EXPECT_EQ(column(0x60420F0A), want) << path << " " << folder << " " << share;
  }
  // Access masks name file rights, or folder rights and generic rights.
  for (auto [folder, mask, want] :
       {std::tuple<BYTE, uint32_t, const char*>{0, 0x120089,
                                                "Read,ReadEA,Read Attributes,Read[dacl],SynchronizeAccess[dacl],"},
        {1, 0x10000000, "Full Control"},
        {1, 0xE0000027, "List,Create Files,Create Folders,Traverse,Generic Execute,Generic Write,Generic Read"}}) {
    f.folder = folder, f.access_mask = mask;
    EXPECT_EQ(column(0x60420F10), want) << std::hex << mask;
  }
  for (auto [flags, want] : {std::pair<uint32_t, const char*>{0, "This folder only"}, {1, "This folder and files"},
                             {2, "This folder and subfolders"}, {9, "Files only"}, {10, "Subfolders only"},
                             {0x1B, "Subfolders and files only"}, {0xC, "? c ?"}}) {
    f.inheritance = flags;
    EXPECT_EQ(column(0x60420F12), want) << flags;
  }
  for (auto [type, want] : {std::pair<BYTE, const char*>{0, "ALLOW"}, {1, "DENY"}, {4, "ALLOW(Compound)"},
                            {0x30, "ALLOW"}, {7, "? 7 ?"}}) {
    f.ace_type = type;
    EXPECT_EQ(column(0x60420F16), want);
  }
  f.action = 0x00110000;  // set owner: the trustee, but no ACE fields
  EXPECT_EQ(column(0x60420F16) + column(0x60420F10), "");
  // Addresses: IPv4, then IPv6, empty when its words 0, 1 and 3 are zero.
  f.ipv6[8] = 0x12;  // word 2 alone still gives an empty address
  EXPECT_EQ(column(0x60420805), "");
  f.ipv6[0] = 0xfe, f.ipv6[1] = 0x80, f.ipv6[15] = 0x01;
  EXPECT_EQ(column(0x60420805), "fe80:0000:0000:0000:1200:0000:0000:0001");
  // Times: undefined, or UTC or local time (one hour east of UTC) in the report's format.
  f.event_time = 0x0FFFFFFF;
  EXPECT_EQ(column(0x60420803), "<undefined>");
  f.event_time = 1457388000;  // 7 March 2016 22:00:00 UTC
  g_library.utc_offset = -3600;
  for (auto [utc, format, want] : {std::tuple{1u, 0u, "Mon Mar  7 22:00:00 2016"}, {0u, 10u, "07.03.16 23:00:00"},
                                   {0u, 8u, "March 07, 2016"}, {0u, 12u, "Mon Mar  7 23:00:00 2016"}}) {
    g_report_run.show_utc = utc, g_report_run.time_format = format;
    EXPECT_EQ(column(0x60420803), want) << format;
  }
  EXPECT_TRUE(journal_has(library_title(), "Unknown time format.\n\nCode GQ3."));
  // No row context: not handled, nothing written.
  std::strcpy(text, "kept");
  EXPECT_EQ(report_column_text(nullptr, 0x60420802, text, sizeof text), kResultNotHandled);
  EXPECT_STREQ(text, "kept");
}

TEST_F(LogReader, LogonRecordsAndTheirColumns) {
  support::LogWriter log;
  LogonLogRecord local = support::sample_logon_record(0x81000002, 3);  // local logoff
  local.total_seconds = 90061;
  local.secondary_code = 0;
  std::memcpy(local.ipv4, "\x0a\x01\x02\x03", 4);
  LogonLogRecord kerberos = support::sample_logon_record(0x82000012, 4);
  kerberos.secondary_code = 24;
  std::memcpy(kerberos.ipv4, "\x0a\x01\x02\x03", 4);
  LogonLogRecord failed = support::sample_logon_record(0x81000033, 5);
  failed.total_seconds = 0xC000006A;
  failed.event_time = 0;  // falls back to the logon SYSTEMTIME
  failed.logon_time = SYSTEMTIME{2016, 3, 1, 7, 9, 5, 3, 0};
  LogonLogRecord odd = support::sample_logon_record(0x82000001, 6);
  odd.action = 0x40;
  odd.secondary_code = 0x99;
  odd.workstation[0] = '<';
  for (const LogonLogRecord& r : {local, kerberos, failed, odd}) log.add(r);
  std::vector<Row> got = read(save(log));
  // The unknown action is reported, not skipped.
  ASSERT_EQ(shown(got), (Shown{{"LOGOFF (local/wts)", kBase + 5}, {"LOGON FAILED (Kerberos)", 151},
                               {"LOGON FAILED (local)", kBase + 0}, {"?unknown?[82000001,40] {99}Log", 36}}));

  expect_cells(got[0], {{0x60420E01, "Local Logoff"}, {0x60420E02, "90,061 seconds"}, {0x60420E09, "90061"},
                        {0x60420E0A, "1 day, 1 hour, 1 minute, 1 second"}, {0x6042080B, "TRUE"},
                        {0x60420805, "10.1.2.3"}, {0x60420804, local.workstation}, {0x6042080C, local.station},
                        {0x60420811, local.session}, {0x6042080D, local.wts_address},
                        {0x60420E08, local.logon_domain}, {0x60420E07, local.workstation},
                        {0x60420807, local.account}, {0x60420809, local.sid}, {0x60420F0A, "<unknown>"}});
  // Not a logoff: no duration; network records keep the first address number in the top byte.
  expect_cells(got[1], {{0x60420E03, "[Bad Password:Password is incorrect]"}, {0x60420E02, ""},
                        {0x6042080B, "FALSE"}, {0x60420805, "3.2.1.10"}, {0x60420E01, "Kerberos Failed Logon"}});
  expect_cells(got[2], {{0x60420E03, "[Wrong Password]"}, {0x60420803, "3/7/2016 9:05:03"},
                        {0x60420E05, "3/7/2016 9:05:03"}});
  // A workstation starting with '<' gives way.
  expect_cells(got[3], {{0x60420804, odd.station}, {0x60420E03, "[UNKNOWN FAILURE CODE 153 | 99]"},
                        {0x60420E01, "?unknown?[82000001,40] {99}Log"}});
}

TEST_F(LogReader, DirectoryAndGpoFamiliesWithTheirEntries) {
  support::LogWriter log;
  DirectoryLogRecord dir = support::sample_directory_record(0xFACC0011, 1);
  dir.action = 0x00080400;
  std::strcpy(dir.attribute, "userAccountControl");
  std::strcpy(dir.old_value, "514");  // disabled, normal account
  std::strcpy(dir.new_value, "66048");  // normal account, password never expires
  DirectoryLogRecord moved = support::sample_directory_record(0xFACC0011, 2);
  moved.action = 0x00001000;
  GpoDirectoryLogRecord gdir = support::sample_gpo_directory_record(0xE8002000, 3);
  gdir.head.action = 0x00000800;
  GpoFileChangeLogRecord change = support::sample_gpo_file_change_record(0xE4082000, 4);
  std::vector<GpoChangeEntry> changes = support::sample_change_entries(3, 4);
  changes[0].section = 1, changes[0].kind = 1, changes[0].value1 = 4;
  changes[1].section = 777, changes[1].kind = 0, changes[1].value1 = 12;
  GpoDirectoryValueLogRecord values = support::sample_gpo_directory_value_record(0xE8004000, 5);
  std::vector<GpoValueEntry> entries = support::sample_value_entries(4, 5);
  entries[0].section = 0x60A00000, entries[0].kind = 0;
  entries[1].section = 0x60700000, entries[1].kind = 2;
  entries[2].section = 0x50500000, entries[2].kind = 1;
  entries[3].section = 0x12, entries[3].kind = 1;
  log.add(dir);
  log.add(moved);
  log.add(gdir);
  log.add(change, changes);
  log.add(values, entries);
  std::vector<Row> got = read(save(log));
  // One row per change entry and per value entry.
  const std::pair<std::string, int> details = {"GPO Policy File Change Details", kBase + 97};
  ASSERT_EQ(shown(got), (Shown{{"AD Change Attribute", kBase + 71}, {"AD Move Object", kBase + 75},
                               {"AD Rename Object", kBase + 93}, details, details, details,
                               {"GPO Policy AD CSE Valued Attribute Removed", kBase + 111},
                               {"GPO Link Options", kBase + 107}, {"GPO Policy AD XML Valued Attribute", kBase + 103},
                               {"?12? section", kBase + 97}}));

  // Only change entries have a summary (907).
  expect_cells(got[0], {{0x60420D08, "Added [Account is Disabled]Removed [Password NEVER expires]"},
                        {0x60420D03, "userAccountControl"}, {0x60420D04, dir.new_value}, {0x60420D05, dir.old_value},
                        {0x60420D02, dir.object_class}, {0x60420D01, dir.object_dn}, {0x60420D09, dir.extra_text},
                        {0x60420D06, dir.values[1] ? "TRUE" : "FALSE"}, {0x60420807, dir.requester_sam},
                        {0x60420808, dir.requester_fqdn}, {0x60420804, dir.workstation}, {0x60420809, "<unknown>"},
                        {0x60420907, ""}});
  EXPECT_EQ(cell(got[1], 0x60420D04), moved.new_location);  // moves show where the object went
  expect_cells(got[2], {{0x60420D04, gdir.new_location}, {0x60420D05, gdir.old_value},
                        {0x60420900, gdir.head.gpo_text1}});

  // Each entry's row shows its own entry.
  for (int i = 0; i < 3; ++i)
    expect_cells(got[3 + i], {{0x6042090A, changes[i].text1}, {0x6042090F, changes[i].text4},
                              {0x60420906, change.text_b}, {0x60420F14, change.share},
                              {0x60420902, change.head.core ? "CORE" : "NON-CORE"}});
  expect_cells(got[3], {{0x60420907, std::string("Registry Values Section: ADD ITEM ") + changes[0].text1 + " " +
                                         changes[0].text2 + " " + changes[0].text3 + " " + changes[0].text4},
                        {0x60420909, "ADD ITEM"}, {0x6042090C, "REG_DWORD"}});
  expect_cells(got[4], {{0x60420908, "?777? section Section:"}, {0x60420909, "REMOVE ITEM"},
                        {0x6042090C, "?12 registry type?"}});
  const char* kinds[] = {"ITEM REMOVED", "ITEM CHANGED", "ITEM ADDED", "ITEM ADDED"};
  for (int i = 0; i < 4; ++i)
    expect_cells(got[6 + i], {{0x60420909, kinds[i]}, {0x6042090F, entries[i].text}, {0x60420D04, "<unknown>"}});
}

TEST_F(LogReader, DamageLosesNothingAroundItAndInventsNothing) {
  // Each further file is read into an empty list, with an empty journal.
  auto read_anew = [&](const std::string& path) {
    release_rows(list_);
    ui::clear_journal();
    return read(path);
  };
  support::LogWriter log;
  log.add(support::sample_file_record(0xFF330002, 1));
  log.add_garbage(500, 1);
  log.add(support::sample_logon_record(0x82000021, 2));
  log.add_garbage(200000, 2);  // more than one scan window
  log.add(support::sample_gpo_file_record(0xE4001001, 3));
  log.add_cut(support::sample_encoded_record(0xFACC0011, 4), 3000);
  EXPECT_EQ(texts(read(save(log))), (Texts{"Rename Folder", "LOGON (NTLM)", "Create Folder"}));
  EXPECT_EQ(g_report_run.record_count, 3u);
  EXPECT_TRUE(ui::journal().empty());  // skipped damage and a cut last record are not reported

  // A zero length field: a diagnostic and a row of empty fields.
  support::LogWriter zero;
  zero.append(support::encode_raw_record(0x82000044, {}));
  zero.add(support::sample_logon_record(0x81000071, 5));
  std::vector<Row> got = read_anew(save(zero, "zero.vnx"));
  ASSERT_EQ(texts(got), (Texts{"LOGOFF (remote)", "LOCK (local)"}));  // the type alone names the event
  EXPECT_EQ(cell(got[0], 0x60420807), "");
  EXPECT_TRUE(journal_has("RPT 1"));

  // Garbage to the end: the scan fails, with the file named.
  support::LogWriter tail;
  tail.add(support::sample_directory_record(0xFACC0011, 7));
  tail.add_garbage(300, 8);
  std::string path = save(tail, "tail.vnx");
  EXPECT_EQ(read_anew(path).size(), 1u);
  // The scan's one window read the 292 bytes after the bad header.
  for (const char* part : {"ReadFile[1] WWA6[", "BR[292]", "lastValidRecord RT[FACC0011]"})
    EXPECT_TRUE(journal_has("READ FAILED! (Unable to find next record)", part)) << part;
  EXPECT_TRUE(journal_has("READ FAILED HERE", path));

  // Running unattended, the same diagnostics are lines of the host's run log.
  std::string log_path = folder_ + "/run.log";
  host::unattended_log_file() = CreateFileA(log_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  read_anew(path);
  CloseHandle(host::unattended_log_file());
  host::unattended_log_file() = nullptr;
  EXPECT_TRUE(ui::journal().empty());
  std::string run_log = support::read_whole_file(log_path);
  EXPECT_EQ(run_log.find("\r\nReadFile[1] WWA6["), 0u);
  EXPECT_NE(run_log.find("\r\n" + path + "\r\n"), std::string::npos);

  // The link drops inside the second record's body: the first record's row, then the failed read's own
  // result and the bytes it delivered.
  support::LogWriter two;
  two.add(support::sample_file_record(0xFF330001, 10));
  two.add(support::sample_file_record(0xFF330001, 11));
  BrokenLog broken = {{two.bytes().data(), two.size()}, 5589 + 100};
  LogSource source = {read_broken, &broken, two.size(), INVALID_HANDLE_VALUE};
  std::vector<BYTE> buffer(kLogSplitBufferBytes);
  LogReadRequest request = {list_, 77, "broken.vnx", context_, {5, 6}, nullptr};
  release_rows(list_);
  ui::clear_journal();
  read_log_source(&request, &source, buffer.data());
  EXPECT_EQ(texts(rows(list_)), Texts{"Rename File"});
  EXPECT_TRUE(journal_has("[6]READ FAILED!", "ReadFile[0] WWA[5597] EOFf[11178] BR[92]"));

  // A header with no body behind it.
  support::LogWriter bare;
  bare.add_cut(support::sample_encoded_record(0xFF330001, 9), kLogHeaderBytes);
  EXPECT_TRUE(read_anew(save(bare, "bare.vnx")).empty());
  EXPECT_TRUE(journal_has("READ ZERO BYTES!"));

  // A missing file: a message and an error row.
  EXPECT_EQ(shown(read_anew(folder_ + "/missing.vnx")), (Shown{{"Error [2] opening file", 67}}));
  EXPECT_TRUE(journal_has("Error 23", "Error [2] opening file"));
}

TEST_F(LogReader, StopRequestMaximumAndProgress) {
  support::LogWriter log;
  for (uint32_t i = 0; i < 6; ++i) log.add(support::sample_file_record(0xFF330001, i));
  std::string path = save(log);

  g_report_run.maximum_records = 3;
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 10, 10, screen_, nullptr, nullptr, nullptr);
  SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
  g_report_run.progress_scale = log.size();
  LogReadRequest request = {list_, 77, path.c_str(), context_, {5, 6}, bar};
  read_activity_log(&request);
  std::vector<Row> got = rows(list_);
  ASSERT_EQ(got.size(), 5u);  // the count is compared after the row goes in
  EXPECT_EQ(shown(got)[4], Shown::value_type("_MAXIMUM RECORD COUNT [3] REACHED, REPORT STOPPED", 67));
  EXPECT_EQ(row_u32(got[4].record, kRowStoppedOffset), 1u);
  EXPECT_EQ(row_u32(got[3].record, kRowStoppedOffset), 0u);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), static_cast<LRESULT>(4 * 5589 * 1000 / log.size()));

  release_rows(list_);
  g_report_run = ReportRunState{};
  abort_searches();
  got = read(path);
  ASSERT_EQ(texts(got), Texts{"USER REQUESTED REPORT GENERATION TO BE STOPPED"});
  EXPECT_EQ(row_u32(got[0].record, kRowStoppedOffset), 1u);
  EXPECT_EQ(g_report_run.stopped, 1u);
}

class QuickReport : public LogReader {
 protected:
  void SetUp() override {
    LogReader::SetUp();
    for (int i = 0; i < kQuickListCount; ++i) g_quick_report.lists[i] = make_list(kQuickListControls[i]);
    copy_text(g_quick_report.server_name, sizeof g_quick_report.server_name, "DC7");
    g_quick_report.state = kQuickReportRunning;
    g_quick_report.maximum_rows = 1000;
  }

  void read_quick(const std::string& path) {
    LogReadRequest request = {nullptr, 0, path.c_str(), nullptr, {0, 0}, nullptr};
    read_activity_log(&request);
  }
  std::vector<Row> quick_rows(QuickReportList list) { return rows(g_quick_report.lists[list]); }
};

TEST_F(QuickReport, FamiliesGoToTheirListsWithinTheWindow) {
  // Sample records at given times; the window is from 1457388000 (left out) to 1457391600 (kept).
  auto at = [](auto record, uint32_t t) { return record.event_time = t, record; };
  auto head_at = [](auto record, uint32_t t) { return record.head.event_time = t, record; };
  support::LogWriter log;
  log.add(at(support::sample_file_record(0xFF330001, 1), 1457388000));
  log.add(at(support::sample_file_record(0xFF330001, 2), 1457391600));
  log.add(at(support::sample_logon_record(0x81000001, 3), 1457389000));
  log.add(at(support::sample_directory_record(0xFACC0011, 4), 1457389500));
  log.add(head_at(support::sample_gpo_file_record(0xE4001001, 5), 1457390000));
  log.add(head_at(support::sample_gpo_directory_value_record(0xE8004000, 6), 1457391700),
          support::sample_value_entries(2, 6));
  log.add(head_at(support::sample_gpo_file_change_record(0xE4002000, 7), 1457390500),
          support::sample_change_entries(2, 7));
  log.add(head_at(support::sample_gpo_directory_record(0xE8002000, 8), 1457388000));
  g_quick_report.window_start = 1457388000;
  g_quick_report.window_end = 1457391600;
  read_quick(save(log));

  std::vector<Row> files = quick_rows(kQuickListFileSystem);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(row_u32(files[0].record, kRowTypeOffset), 0xFF330001u);
  expect_cells(files[0], {{0x60420801, "DC7"}, {0x60420807, support::sample_file_record(0xFF330001, 2).account}});
  EXPECT_EQ(texts(quick_rows(kQuickListLogon)), Texts{"LOGON (local/wts)"});
  EXPECT_EQ(quick_rows(kQuickListDirectory).size(), 1u);
  // The GPO list: the file record and one row per change entry.
  std::vector<Row> gpo = quick_rows(kQuickListGpo);
  ASSERT_EQ(gpo.size(), 3u);
  EXPECT_EQ(cell(gpo[0], 0x60420900), support::sample_gpo_file_record(0xE4001001, 5).head.gpo_text1);
  EXPECT_EQ(row_u32(gpo[2].record, kRowTypeOffset), 0xE4002000u);
  EXPECT_EQ(g_quick_report.row_count, 6u);
  std::vector<std::string> calls = host::service_calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "host_insert_report_row parent=0xffff0000 position=0xffff0003"),
            calls.end());
  EXPECT_EQ(g_quick_report.state, kQuickReportRunning);

  // A missing file is a message box, not a row.
  read_quick(folder_ + "/gone.vnx");
  EXPECT_TRUE(journal_has("ERROR 23", "Error [2] opening file"));
  EXPECT_EQ(quick_rows(kQuickListFileSystem).size(), 1u);
}

TEST_F(QuickReport, StopValueAndMaximumRowCount) {
  support::LogWriter log;
  for (uint32_t i = 0; i < 5; ++i) log.add(support::sample_logon_record(0x82000011, i));
  std::string path = save(log);
  g_quick_report.window_start = 0;
  g_quick_report.window_end = 0xFFFFFFFF;
  g_quick_report.maximum_rows = 2;
  read_quick(path);
  std::vector<Row> got = quick_rows(kQuickListLogon);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(shown(got)[3], Shown::value_type("_MAXIMUM RECORD COUNT [2] REACHED, REPORT STOPPED", 67));
  EXPECT_STREQ(g_quick_report.status_text, "_MAXIMUM RECORD COUNT [2] REACHED, REPORT STOPPED");
  EXPECT_EQ(g_quick_report.state, kQuickReportStop);

  // With the stop value set, the next row is the cancellation; the status text keeps its first entry.
  release_rows(g_quick_report.lists[kQuickListLogon]);
  g_quick_report.maximum_rows = 100;
  read_quick(path);
  got = quick_rows(kQuickListLogon);
  ASSERT_EQ(texts(got), Texts{"_USER REQUESTED REPORT GENERATION CANCELLED"});
  EXPECT_EQ(row_u32(got[0].record, kRowStoppedOffset), 1u);
  EXPECT_STREQ(g_quick_report.status_text, "_MAXIMUM RECORD COUNT [2] REACHED, REPORT STOPPED");
  g_quick_report.status_text[0] = '\0';
  release_rows(g_quick_report.lists[kQuickListLogon]);
  read_quick(path);
  EXPECT_STREQ(g_quick_report.status_text, "_USER REQUESTED REPORT GENERATION CANCELLED");
}

TEST_F(LogReader, RowsOwnTheirItemsUntilTheHostDeletesThem) {
  // A record of every type; the entry families give a row per entry, two each.
  support::LogWriter log;
  std::vector<LogFamily> families;
  for (const LogRecordType& entry : kLogRecordTypes) {
    log.append(support::sample_encoded_record(entry.code, entry.code & 0xFF));
    families.insert(families.end(), entry.rows == kLogRowsOne ? 1 : 2, entry.family);
  }
  std::vector<Row> got = read(save(log));
  ASSERT_EQ(got.size(), families.size());
  // Each row's item sits in its family's slot, and only there.
  for (size_t i = 0; i < got.size(); ++i) {
    void* item;
    EXPECT_EQ(row_item(got[i].record, &item), families[i]) << i;
    int filled = 0;
    for (int slot = kOwnedFeatureFirst; slot < kOwnedFeatureFirst + kOwnedFeatureStructures; ++slot)
      filled += owned_block(got[i].record, slot) != nullptr;
    EXPECT_EQ(filled, 1) << i;
  }
  // Every block from the memory pair comes back once the host deletes the rows.
  release_rows(list_);
  int allocated = 0, freed = 0;
  for (const std::string& call : host::service_calls()) {
    allocated += call.rfind("memory allocate", 0) == 0;
    freed += call == "memory free";
  }
  EXPECT_GT(allocated, static_cast<int>(5 * got.size()));
  EXPECT_EQ(freed, allocated);
}

TEST(NtStatusText, KnownCodesLoseTheirLineBreakAndUnknownOnesAreEmpty) {
  char text[300];
  nt_status_text(0xC0000043, text, sizeof text);
  EXPECT_STREQ(text, "A file cannot be opened because the share access flags are incompatible.");
  nt_status_text(0xC0DEC0DE, text, sizeof text);
  EXPECT_STREQ(text, "");
  FileLogRecord r = support::sample_file_record(0xFF330001, 1);
  r.action = 0x00010000;
  r.access_mask = 0xC0000022;
  RowActivity activity;
  file_activity(r, &activity);
  EXPECT_STREQ(activity.text,
               "Deny Open File or Folder, code[C0000022][{Access Denied}\r\nA process has requested access to an "
               "object, but has not been granted those access rights.]");
  EXPECT_EQ(activity.icon, base_icon(116));
  EXPECT_FALSE(activity.keep_new_name);
}

}  // namespace
