// Activity log files: folders, names, restoring, decoding every family, and
// splitting with resynchronisation, against files written by the log writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/text.h"
#include "reports/log_format.h"
#include "sim/logwriter.h"
#include "tests/support/time_zone.h"
#include "sim/world_builder.h"

namespace {

// A split event; a record's body restored, since the splitter's buffer moves on.
struct Event : LogSplitItem {
  std::vector<uint8_t> restored;
};

std::vector<Event> split_with(LogReadFn read, void* context, uint64_t start, uint64_t end) {
  std::vector<BYTE> buffer(kLogSplitBufferBytes);
  LogSplitter splitter;
  EXPECT_TRUE(begin_log_split(&splitter, read, context, buffer.data(), buffer.size(), start, end));
  std::vector<Event> events;
  for (int guard = 0; guard < 100000; ++guard) {
    Event out;
    LogSplitEvent e = next_log_split(&splitter, &out);
    if (e == kLogSplitRecord) {
      restore_log_record_body(out.type, out.body, out.body_length);
      out.restored.assign(out.body, out.body + out.body_length);
    }
    events.push_back(out);
    if (e == kLogSplitEnd) break;
  }
  return events;
}

std::vector<Event> split_bytes(const std::vector<uint8_t>& bytes) {
  LogMemory memory = {bytes.data(), bytes.size()};
  return split_with(read_log_memory_at, &memory, 0, bytes.size());
}

// Whether two records hold the same bytes; a failure names the first byte that differs.
template <typename T>
testing::AssertionResult same_bytes(const T& got, const T& want) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(&got);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(&want);
  for (size_t i = 0; i < sizeof(T); ++i)
    if (x[i] != y[i]) return testing::AssertionFailure() << "first difference at byte " << i;
  return testing::AssertionSuccess();
}

// Decodes the only record of an encoded file.
DecodedLogRecord decode_single(const std::vector<uint8_t>& file, std::vector<uint8_t>* body = nullptr) {
  std::vector<Event> events = split_bytes(file);
  DecodedLogRecord decoded;
  std::memset(&decoded, 0, sizeof decoded);
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].event, kLogSplitRecord);
  EXPECT_EQ(events.back().end_reason, kLogEndClean);
  if (events[0].event != kLogSplitRecord) return decoded;
  EXPECT_TRUE(decode_log_record(events[0].type, events[0].restored.data(), events[0].restored.size(), &decoded));
  if (body) *body = events[0].restored;
  return decoded;
}

// Walks the entries of a restored body from `at`: exactly `want`, ending at the body's end.
template <typename Entry>
void expect_entries(BOOL (*read)(const BYTE*, size_t, size_t*, Entry*), const std::vector<uint8_t>& body, size_t at,
                    const std::vector<Entry>& want) {
  Entry got;
  for (const Entry& expected : want) {
    ASSERT_TRUE(read(body.data(), body.size(), &at, &got));
    EXPECT_TRUE(same_bytes(got, expected));
  }
  EXPECT_EQ(at, body.size() + kLogHeaderBytes);
  EXPECT_FALSE(read(body.data(), body.size(), &at, &got));
}

// Seconds since 1970 of a UTC calendar time (timegm ignores the time zone the library converts in).
int64_t utc_seconds(int year, int month, int day, int hour) {
  std::tm t = {};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day, t.tm_hour = hour;
  return timegm(&t);
}

using support::TimeZone;

// Folders and names.

TEST(LogFolders, CurrentAndArchiveForms) {
  char folder[kLogFolderBytes];
  ASSERT_TRUE(format_current_log_folder(folder, sizeof folder, "FS1", "VNXLOGS$"));
  EXPECT_STREQ(folder, "\\\\FS1\\VNXLOGS$\\vnxlogs\\");
  // Archiving off: under the log share, whatever the archive path; on (any value): under it, one separator.
  for (auto [archive, path, want] :
       {std::tuple{0u, "E:\\ignored", "\\\\FS1\\VNXLOGS$\\vnxlogs\\archived_logs\\"},
        {1u, "\\\\NAS\\keep", "\\\\NAS\\keep\\vnx_archived_logs\\"},
        {7u, "\\\\NAS\\keep\\", "\\\\NAS\\keep\\vnx_archived_logs\\"}}) {
    ASSERT_TRUE(format_archive_log_folder(folder, sizeof folder, "FS1", "VNXLOGS$", archive, path));
    EXPECT_STREQ(folder, want);
  }

  // The longest registry values fit; a folder that does not fit is refused whole.
  std::string share(kReportPathBytes - 1, 's');
  EXPECT_TRUE(format_current_log_folder(folder, sizeof folder, "SERVER-WITH-A-LONG-NAME", share.c_str()));
  EXPECT_TRUE(format_archive_log_folder(folder, sizeof folder, "S", share.c_str(), 0, ""));
  EXPECT_TRUE(format_archive_log_folder(folder, sizeof folder, "S", "", 1,
                                        std::string(kAutoArchivePathBytes - 1, 'a').c_str()));
  char small[16];
  EXPECT_FALSE(format_current_log_folder(small, sizeof small, "FS1", "VNXLOGS$"));
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(format_archive_log_folder(small, sizeof small, "FS1", "S", 1, "\\\\NAS\\keep"));
  EXPECT_STREQ(small, "");
}

TEST(LogFileNames, ServerByLengthLetterAndNominalTime) {
  LogFileName name;
  auto fields = [&] {
    return std::make_tuple(std::string(name.prefix), std::string(name.server), name.has_nominal_time,
                           int64_t(name.nominal_time));
  };
  {
    // The nominal time is 22:00 New York time on the name's date, as UTC.
    TimeZone zone("America/New_York");
    for (auto [text, prefix, server, nominal_time] : {
             std::tuple{"x_FS1d_March072016.vnx", "x", "FS1", utc_seconds(2016, 3, 8, 3)},  // 03:00 UTC next day
             // Daylight saving: 22:00 EDT on the day it starts, 22:00 EST on the day it ends.
             {"x_FS1d_March132016.vnx", "x", "FS1", utc_seconds(2016, 3, 14, 2)},
             {"x_FS1d_November062016.vnx", "x", "FS1", utc_seconds(2016, 11, 7, 3)},
             {"x_FS1d_February292016.vnx", "x", "FS1", utc_seconds(2016, 3, 1, 3)},
             {"x_FS1d_December312099.vnx", "x", "FS1", utc_seconds(2100, 1, 1, 3)},
             // Underscores in the prefix, a long server name, a folder before the name, month case.
             {"VNX_FS_LOG_fileserver-berlin-01u_September012021.vnx", "VNX_FS_LOG", "fileserver-berlin-01",
              utc_seconds(2021, 9, 2, 2)},
             {"\\\\FS1\\LOGS\\vnxlogs\\ad_DC01e_JANUARY052020.VNX", "ad", "DC01", utc_seconds(2020, 1, 6, 3)},
             {"prefix_a_January012020.vnx", "prefix", "", utc_seconds(2020, 1, 2, 3)},  // empty server name
             {"a_FS1d_May012016.vnx", "a", "FS1", utc_seconds(2016, 5, 2, 2)},          // exactly 20 characters
         }) {
      EXPECT_TRUE(parse_log_file_name(text, &name)) << text;
      EXPECT_EQ(fields(), std::make_tuple(std::string(prefix), std::string(server), DWORD(1), nominal_time)) << text;
    }
  }
  // 22:00 local time: 22:00 UTC in UTC, 13:00 UTC the same day in Tokyo.
  for (auto [zone, hour] : {std::pair{"UTC", 22}, std::pair{"Asia/Tokyo", 13}}) {
    TimeZone scoped(zone);
    ASSERT_TRUE(parse_log_file_name("x_FS1d_March072016.vnx", &name));
    EXPECT_EQ(name.nominal_time, utc_seconds(2016, 3, 7, hour)) << zone;
  }

  std::string too_long = "p" + std::string(300, 'r') + "_FS1d_March072016.vnx";
  const char* const unknown[] = {
      "_FS1d_May012016.vnx",     // 19 characters
      "x_FS1e_March072016.vnx",  // the letter says 4: "_FS1" has no underscore before it
      "x_FS1D_March072016.vnx",  // upper-case letter
      "x_FS1d_Marhc072016.vnx", "x_FS1d_February302016.vnx", "x_FS1d_February292015.vnx", "x_FS1d_March002016.vnx",
      "x_FS1d_March07201.vnx", "x_FS1d_March072016.log", "x_FS1d_March072016.vnx.bak", "LOGFILE1.VNX",
      "noletter_March072016.vnx", "x_FS1d_March071969.vnx",  // before 1970
      too_long.c_str(), nullptr,
  };
  for (const char* text : unknown) {
    SCOPED_TRACE(text ? text : "null");
    EXPECT_FALSE(parse_log_file_name(text, &name));
    EXPECT_EQ(fields(), std::make_tuple(std::string("<unknown>"), std::string("<unknown>"), DWORD(0), int64_t(0)));
  }
}

// Restoring bodies.

TEST(LogBodies, RestoringUndoesTheAgentsRotation) {
  // Known bytes: i=0 rotates left 2, i=1 right 3, i=2 right 4, i=7 left 2, i=9 right 3, i=10 right 4.
  std::vector<BYTE> known = {0x01, 0x08, 0x12, 0x00, 0x00, 0x00, 0x00, 0x81, 0x00, 0x09, 0xAB};
  restore_log_body(known.data(), known.size());
  EXPECT_EQ(known, (std::vector<BYTE>{0x04, 0x01, 0x21, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x21, 0xBA}));

  // The writer's scrambling is undone at every length and phase, by the chosen form and by each vector form.
  for (size_t length : {1, 27, 28, 29, 224, 448, 1000, 5581}) {
    std::vector<uint8_t> original(length);
    for (size_t i = 0; i < length; ++i) original[i] = static_cast<uint8_t>(i * 37 + length);
    std::vector<uint8_t> scrambled = original;
    support::scramble_log_body(scrambled.data(), scrambled.size());
    std::vector<uint8_t> bytes = scrambled;
    restore_log_body(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, original) << length;
    for (RestoreMethod method : {kRestoreSse2, kRestoreAvx2, kRestoreGfni}) {
      bytes = scrambled;
      EXPECT_TRUE(!restore_log_body_using(method, bytes.data(), bytes.size()) || bytes == original)
          << method << " at " << length;
    }
  }

  // Fixed families restore a fixed count, never beyond the body; the others the whole body; unknown types nothing.
  // A restored 0x80 is never 0x80, so the first 0x80 left marks where restoring stopped.
  for (auto [type, size, restored] : {std::tuple{0xFF330001u, 6000, 5581}, {0x82000011u, 3000, 2612},
                                      {0xFACC0011u, 100, 100}, {0xE8004000u, 9000, 9000}, {0x12345678u, 50, 0}}) {
    std::vector<uint8_t> body(size, 0x80);
    EXPECT_EQ(restore_log_record_body(type, body.data(), body.size()), size_t(restored)) << std::hex << type;
    EXPECT_EQ(std::find(body.begin(), body.end(), 0x80) - body.begin(), restored) << std::hex << type;
  }
}

// Type codes and decoding.

TEST(LogRecords, EveryTypeIsFoundAndRoundTripsThroughTheWriter) {
  for (uint32_t code : {0u, 0xFFFFFFFFu, 0xFF330000u, 0xFF330003u, 0xE4001000u, 0xE8003000u, 0xFACC0012u,
                        0x81000003u, 0x82000054u, 0x83000001u, 0x01000081u})
    EXPECT_FALSE(is_log_record_type(code)) << std::hex << code;
  EXPECT_TRUE(is_local_logon_type(0x81000033));
  EXPECT_FALSE(is_local_logon_type(0x82000033));

  for (const LogRecordType& entry : kLogRecordTypes) {
    SCOPED_TRACE(testing::Message() << std::hex << entry.code);
    EXPECT_EQ(find_log_record_type(entry.code), &entry);
    bool fixed = entry.family == kLogFamilyFile || entry.family == kLogFamilyDirectory ||
                 entry.family == kLogFamilyLogon;
    EXPECT_EQ(entry.restored_bytes != 0, fixed);
    std::vector<uint8_t> body;
    DecodedLogRecord d = decode_single(support::sample_encoded_record(entry.code, 11), &body);
    // A field at its record offset written out here, since the writer and the decoder share the offsets.
    auto text_at = [&](size_t offset) { return reinterpret_cast<const char*>(body.data() + offset - 8); };
    ASSERT_EQ(d.family, entry.family);
    switch (entry.family) {
      case kLogFamilyFile:
        EXPECT_TRUE(same_bytes(d.file, support::sample_file_record(entry.code, 11)));
        EXPECT_STREQ(text_at(2703), d.file.file_name);
        break;
      case kLogFamilyLogon:
        EXPECT_TRUE(same_bytes(d.logon, support::sample_logon_record(entry.code, 11)));
        EXPECT_EQ(load_le32(body.data() + 212 - 8), d.logon.event_time);
        break;
      case kLogFamilyDirectory:
        EXPECT_TRUE(same_bytes(d.directory, support::sample_directory_record(entry.code, 11)));
        EXPECT_STREQ(text_at(2320), d.directory.attribute);
        break;
      case kLogFamilyGpoFile:
        EXPECT_TRUE(same_bytes(d.gpo_file, support::sample_gpo_file_record(entry.code, 11)));
        EXPECT_STREQ(text_at(2308), d.gpo_file.new_name);
        break;
      case kLogFamilyGpoFileChange: {
        GpoFileChangeLogRecord want = support::sample_gpo_file_change_record(entry.code, 11);
        want.head.body_length = d.gpo_file_change.head.body_length;
        want.entry_count = 2;
        EXPECT_TRUE(same_bytes(d.gpo_file_change, want));
        expect_entries(read_gpo_change_entry, body, kGpoChangeFirstEntry, support::sample_change_entries(2, 11));
        break;
      }
      case kLogFamilyGpoDirectory:
        EXPECT_TRUE(same_bytes(d.gpo_directory, support::sample_gpo_directory_record(entry.code, 11)));
        break;
      case kLogFamilyGpoDirectoryValue: {
        GpoDirectoryValueLogRecord want = support::sample_gpo_directory_value_record(entry.code, 11);
        want.head.body_length = d.gpo_directory_value.head.body_length;
        want.entry_count = 2;
        EXPECT_TRUE(same_bytes(d.gpo_directory_value, want));
        expect_entries(read_gpo_value_entry, body, kGpoValueFirstEntry, support::sample_value_entries(2, 11));
        break;
      }
      case kLogFamilyNone: FAIL();
    }
  }
}

TEST(LogRecords, DecodingReadsOnlyWhatTheTypeAndTheBodyHold) {
  // 0xFF330001 ignores the address text at 1200 that 0xFF330002 reads.
  FileLogRecord wts = support::sample_file_record(0xFF330002, 3);
  wts.type = 0xFF330001;
  ASSERT_STRNE(wts.wts_address, "");
  EXPECT_STREQ(decode_single(support::encode_log_record(wts)).file.wts_address, "");

  // Network logons do not read the local fields.
  LogonLogRecord network = support::sample_logon_record(0x81000001, 4);
  network.type = 0x82000011;
  LogonLogRecord logon = decode_single(support::encode_log_record(network)).logon;
  EXPECT_EQ(std::string(logon.local_text) + logon.session + logon.wts_address + logon.logon_domain, "");

  // The requester's FQDN is read only when the SAM form is present.
  DirectoryLogRecord dir = support::sample_directory_record(0xFACC0011, 5);
  dir.requester_sam[0] = '\0';
  EXPECT_STREQ(decode_single(support::encode_log_record(dir)).directory.requester_fqdn, "");
  GpoDirectoryLogRecord gpo_dir = support::sample_gpo_directory_record(0xE8002000, 5);
  gpo_dir.head.requester_sam[0] = '\0';
  EXPECT_STREQ(decode_single(support::encode_log_record(gpo_dir)).gpo_directory.head.requester_fqdn, "");

  // 0xE8001000 carries no values: a body long enough to hold them is not read that far.
  std::vector<uint8_t> encoded = support::encode_log_record(support::sample_gpo_directory_record(0xE8002000, 6));
  store_le32(encoded.data(), 0xE8001000);
  GpoDirectoryLogRecord plain = decode_single(encoded).gpo_directory;
  EXPECT_EQ(std::string(plain.new_value) + plain.old_value, "");

  // A file record whose body is cut to 100 bytes: the profile is what the body holds, the rest empty.
  std::vector<uint8_t> restored(100, 'p');
  FileLogRecord file;
  decode_file_record(0xFF330002, restored.data(), restored.size(), &file);
  EXPECT_EQ(std::strlen(file.profile), 100u);
  EXPECT_EQ(file.action, 0u);
  EXPECT_STREQ(file.account, "");
  EXPECT_EQ(file.final_value, 0u);

  // A zero-length body decodes to an empty record of its type; an unknown type to nothing.
  DecodedLogRecord empty;
  ASSERT_TRUE(decode_log_record(0x81000001, nullptr, 0, &empty));
  EXPECT_EQ(empty.logon.type, 0x81000001u);
  EXPECT_STREQ(empty.logon.account, "");
  EXPECT_FALSE(decode_log_record(0x01020304, restored.data(), restored.size(), &empty));
  EXPECT_EQ(empty.family, kLogFamilyNone);

  // A count larger than the entries present: the walk stops at the body's end.
  std::vector<uint8_t> body(kGpoChangeFirstEntry - kLogHeaderBytes, 0);
  store_le32(body.data() + kGpoChangeCount.offset - kLogHeaderBytes, 50);
  size_t first = body.size();
  body.resize(first + kChangeEntryText4Offset, 0);
  store_le32(body.data() + first, 7);
  const char text[] = "fourth";
  body.insert(body.end(), text, text + sizeof text);
  // A second entry whose final text has no NUL: it runs to the body's end, bounded.
  body.resize(body.size() + kChangeEntryText4Offset, 0);
  body.resize(body.size() + 3000, 'z');
  GpoFileChangeLogRecord change;
  decode_gpo_file_change_record(0xE4002000, body.data(), body.size(), &change);
  EXPECT_EQ(change.entry_count, 50u);
  size_t at = kGpoChangeFirstEntry;
  std::vector<GpoChangeEntry> walked;
  GpoChangeEntry got;
  for (uint32_t i = 0; i < change.entry_count && read_gpo_change_entry(body.data(), body.size(), &at, &got); ++i)
    walked.push_back(got);
  ASSERT_EQ(walked.size(), 2u);
  EXPECT_EQ(walked[0].section, 7u);
  EXPECT_STREQ(walked[0].text4, "fourth");
  EXPECT_EQ(std::strlen(walked[1].text4), kChangeEntryText4Bytes);
  EXPECT_EQ(at, body.size() + kLogHeaderBytes);

  // Value entries: the same bounds.
  std::vector<uint8_t> values(kGpoValueFirstEntry - kLogHeaderBytes, 0);
  values.insert(values.end(), {0x00, 0x00, 0xA0, 0x60, 0x01, 0x00, 0x00, 0x00, 'o', 'n', 0});
  values.insert(values.end(), {0x00, 0x00, 0x50, 0x50, 0x02, 0x00, 0x00});  // cut inside the kind
  at = kGpoValueFirstEntry;
  GpoValueEntry value;
  ASSERT_TRUE(read_gpo_value_entry(values.data(), values.size(), &at, &value));
  EXPECT_EQ(std::make_tuple(value.section, value.kind, std::string(value.text)),
            std::make_tuple(0x60A00000u, 1u, std::string("on")));
  EXPECT_FALSE(read_gpo_value_entry(values.data(), values.size(), &at, &value));
}

// Splitting and resynchronisation.

struct Written {
  support::LogWriter log;
  std::vector<size_t> starts;  // of the whole records, in order
  void record(uint32_t type, uint32_t seed) { starts.push_back(log.append(support::sample_encoded_record(type, seed))); }
};

using Damage = std::vector<std::pair<uint64_t, uint64_t>>;  // the position and bytes skipped of each damage

// Expects the whole records at their starts, then the damage given and the end reason.
void expect_events(const std::vector<Event>& events, const std::vector<size_t>& starts, const Damage& damage,
                   LogSplitEnd end) {
  ASSERT_FALSE(events.empty());
  std::vector<size_t> positions;
  Damage skipped;
  for (const Event& e : events) {
    if (e.event == kLogSplitRecord) positions.push_back(e.position);
    if (e.event == kLogSplitDamage) skipped.emplace_back(e.position, e.skipped);
  }
  EXPECT_EQ(positions, starts);
  EXPECT_EQ(skipped, damage);
  EXPECT_EQ(events.back().end_reason, end);
}

std::vector<Event> expect_split(const Written& w, const Damage& damage, LogSplitEnd end) {
  std::vector<Event> events = split_bytes(w.log.bytes());
  expect_events(events, w.starts, damage, end);
  return events;
}

TEST(LogSplitting, MixedFamiliesBeyondOneBuffer) {
  Written w;
  uint32_t seed = 0;
  while (w.log.size() < 3 * kLogSplitBufferBytes)
    for (const LogRecordType& entry : kLogRecordTypes) w.record(entry.code, ++seed);
  std::vector<Event> events = expect_split(w, {}, kLogEndClean);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back().position, w.log.size());
  // Bodies come back whole from the first buffer and the last: each decodes to its writer's record.
  const Event& first = events.front();
  const Event& last = events[events.size() - 2];
  DecodedLogRecord d;
  ASSERT_TRUE(decode_log_record(first.type, first.restored.data(), first.restored.size(), &d));
  EXPECT_TRUE(same_bytes(d.file, support::sample_file_record(first.type, 1)));
  ASSERT_TRUE(decode_log_record(last.type, last.restored.data(), last.restored.size(), &d));
  EXPECT_EQ(d.family, find_log_record_type(last.type)->family);

  // Empty input: no records, a clean end.
  std::vector<Event> none = split_bytes({});
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].end_reason, kLogEndClean);
}

TEST(LogSplitting, GarbageRunsAreSkippedAndShortOnesCostTheNextRecord) {
  // The scan starts just after the bad 8-byte header and reads windows of
  // 170000 bytes overlapping by 100; a type code needs 11 bytes to its window's end.
  // Besides short and long runs, garbage lengths that put the next record's type code
  // just inside, across and just beyond the first window's edge, and several windows long.
  const size_t edge = kLogWindowBytes + kLogHeaderBytes;  // from the garbage start to the first window's end
  const size_t tail = kLogWindowTail, overlap = kLogWindowOverlap, window = kLogWindowBytes;
  for (size_t length : {size_t(8), size_t(9), size_t(11), size_t(12), size_t(5000), edge - tail - 1, edge - tail,
                        edge - tail + 1, edge - 4, edge - 2, edge - 1, edge, edge + 1, edge + overlap,
                        2 * (window - overlap) + 3, 3 * window + 17}) {
    SCOPED_TRACE(length);
    Written w;
    size_t garbage_at = w.log.add_garbage(length, 1);  // the file may start with garbage
    w.record(0xFF330002, 1);
    w.record(0x81000033, 2);
    size_t middle_at = w.log.add_garbage(length, static_cast<uint32_t>(length));
    w.record(0xE4002000, 3);
    w.record(0xFACC0011, 4);
    expect_split(w, {{garbage_at, length}, {middle_at, length}}, kLogEndClean);
  }
  // Garbage shorter than a header costs the record that follows:
  // the scan starts after the bad header's 8 bytes, past the start of the record behind it.
  for (size_t length = 1; length < kLogHeaderBytes; ++length) {
    SCOPED_TRACE(length);
    Written w;
    w.record(0xFF330002, 1);
    size_t garbage_at = w.log.add_garbage(length, static_cast<uint32_t>(length));
    w.log.append(support::sample_encoded_record(0x81000033, 2));  // lost
    w.record(0xE4002000, 3);
    w.record(0xFACC0011, 4);
    expect_split(w, {{garbage_at, w.starts[1] - garbage_at}}, kLogEndClean);
  }
}

TEST(LogSplitting, EndsOfFileAndDamageAtTheEnd) {
  std::vector<uint8_t> last = support::sample_encoded_record(0xE8004000, 9);
  // A last record cut short, at several places: the records before it come back, it does not.
  for (size_t keep : {size_t(8), size_t(9), last.size() - 1}) {
    SCOPED_TRACE(keep);
    Written w;
    w.record(0x82000050, 1);
    w.record(0xE4001001, 2);
    size_t cut_at = w.log.add_cut(last, keep);
    std::vector<Event> events = expect_split(w, {}, kLogEndCutRecord);
    EXPECT_EQ(events.back().position, cut_at);
    EXPECT_EQ(events.back().skipped, keep);
  }
  // A file that ends inside a header.
  for (size_t keep = 1; keep < kLogHeaderBytes; ++keep) {
    SCOPED_TRACE(keep);
    Written w;
    w.record(0xFF330001, 1);
    w.log.add_partial_header(0xFF330001, keep);
    expect_split(w, {}, kLogEndInsideHeader);
  }
  // A length of 180000 or more ends the file, and what follows is not read; one below is an ordinary (cut) record.
  for (auto [length, end] : {std::pair{kLogEndOfFileLength - 1, kLogEndCutRecord},
                             {kLogEndOfFileLength, kLogEndOverlongLength}, {0xFFFFFFFFu, kLogEndOverlongLength}}) {
    SCOPED_TRACE(length);
    Written w;
    w.record(0xFACC0011, 1);
    size_t overlong_at = w.log.add_overlong(0xFF330002, length);
    w.log.append(support::sample_encoded_record(0x81000001, 2));
    std::vector<Event> events = expect_split(w, {}, end);
    EXPECT_EQ(events.back().position, overlong_at);
    EXPECT_EQ(events.back().body_length, length);
  }
  // Garbage to the end: reported as damage, then the end without a record.
  Written garbage;
  garbage.record(0x81000072, 1);
  size_t garbage_at = garbage.log.add_garbage(50, 3);
  expect_split(garbage, {{garbage_at, 50}}, kLogEndNoRecordFound);

  // A zero-length body is a record of its own; the next record follows it.
  Written zero;
  zero.starts.push_back(zero.log.append(support::encode_raw_record(0x82000044, {})));
  zero.record(0x82000044, 2);
  EXPECT_EQ(expect_split(zero, {}, kLogEndClean)[0].body_length, 0u);
}

// Bytes in memory read at most `most` bytes a call, where any read that covers the bad byte fails as a whole.
struct ShakyReads {
  LogMemory memory;
  uint64_t bad = UINT64_MAX;
  DWORD most = 0xFFFFFFFF;
};

BOOL read_shaky(void* context, uint64_t position, BYTE* out, DWORD count, DWORD* got) {
  ShakyReads* r = static_cast<ShakyReads*>(context);
  if (position <= r->bad && r->bad < position + count) {
    *got = 0;
    SetLastError(ERROR_BAD_NETPATH);
    return FALSE;
  }
  return read_log_memory_at(&r->memory, position, out, count < r->most ? count : r->most, got);
}

TEST(LogSplitting, ShortReadsAndReadFailures) {
  Written w;
  for (uint32_t i = 0; i < 30; ++i) w.record(kLogRecordTypes[i].code, i);
  size_t garbage_at = w.log.add_garbage(4000, 5);
  w.record(0xE4082000, 99);
  const std::vector<uint8_t>& bytes = w.log.bytes();

  ShakyReads t = {{bytes.data(), bytes.size()}, UINT64_MAX, 997};
  expect_events(split_with(read_shaky, &t, 0, bytes.size()), w.starts, {{garbage_at, 4000}}, kLogEndClean);
  // A range larger than the data: the end comes where the data ends.
  expect_events(split_with(read_shaky, &t, 0, bytes.size() + 5000), w.starts, {{garbage_at, 4000}}, kLogEndClean);

  // A failing read ends the split with the error; every record before it comes back,
  // however far the reads run ahead: a body that cannot be read ends with its type,
  // a header that cannot be read without one.
  std::vector<BYTE> buffer(kLogSplitBufferBytes);
  LogSplitter splitter;
  LogSplitItem item;
  for (auto [bad_byte, type] : {std::pair{w.starts[20] + 30, kLogRecordTypes[20].code},
                                std::pair{w.starts[20] + 3, 0u}}) {
    ShakyReads b = {{bytes.data(), bytes.size()}, bad_byte};
    ASSERT_TRUE(begin_log_split(&splitter, read_shaky, &b, buffer.data(), buffer.size(), 0, bytes.size()));
    size_t records = 0;
    while (next_log_split(&splitter, &item) == kLogSplitRecord) ++records;
    EXPECT_EQ(records, 20u);
    EXPECT_EQ(item.end_reason, kLogEndReadFailed);
    EXPECT_EQ(item.type, type);
    EXPECT_EQ(splitter.read_error, static_cast<DWORD>(ERROR_BAD_NETPATH));
    EXPECT_EQ(next_log_split(&splitter, &item), kLogSplitEnd);  // and stays ended
  }

  // A scan window that cannot be read fails the scan as one without a record:
  // the damage runs to the end, and the scan's read says it failed.
  ShakyReads b = {{bytes.data(), bytes.size()}, garbage_at + 2000};
  ASSERT_TRUE(begin_log_split(&splitter, read_shaky, &b, buffer.data(), buffer.size(), 0, bytes.size()));
  while (next_log_split(&splitter, &item) == kLogSplitRecord) {
  }
  EXPECT_EQ(item.event, kLogSplitDamage);
  EXPECT_EQ(item.position, garbage_at);
  EXPECT_EQ(splitter.end_reason, kLogEndNoRecordFound);
  EXPECT_FALSE(splitter.scan_read_result);

  // A buffer that is too small is refused.
  EXPECT_FALSE(begin_log_split(&splitter, read_shaky, &t, buffer.data(), kLogSplitBufferBytes - 1, 0, 10));
}

TEST(LogFiles, SplittingFilesThroughWin32Reads) {
  support::WorldBuilder temp;  // only for its temporary folder, deleted after
  // Splits a file through the Win32 reads, from `start` to the size the file reports.
  uint64_t size = 0;
  auto split_file = [&](const std::string& path, uint64_t start) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_TRUE(log_file_size(file, &size));
    std::vector<Event> events = split_with(read_log_file_at, file, start, size);
    CloseHandle(file);
    return events;
  };
  Written w;
  w.record(0xFF330002, 1);
  size_t garbage_at = w.log.add_garbage(333, 2);
  w.record(0x82000021, 3);
  w.record(0xE4004000, 4);
  w.log.add_cut(support::sample_encoded_record(0xFACC0011, 5), 4000);
  std::string path = temp.folder() + "/" + support::log_file_name("fs", "FS1", 2016, 3, 7);
  ASSERT_TRUE(w.log.save(path));
  std::vector<Event> events = split_file(path, 0);
  EXPECT_EQ(size, w.log.size());
  expect_events(events, w.starts, {{garbage_at, 333}}, kLogEndCutRecord);

  // Positions beyond 4 GB: a sparse file of 5 GB of zeros (read as damage), then records.
  const uint64_t base = 5ull << 30;
  Written big;
  big.record(0xFF330001, 1);
  big.record(0xE8004000, 2);
  path = temp.folder() + "/big.vnx";
  std::ofstream(path, std::ios::binary)
      .seekp(static_cast<std::streamoff>(base))
      .write(reinterpret_cast<const char*>(big.log.bytes().data()), static_cast<std::streamsize>(big.log.size()));
  events = split_file(path, base - 1000);
  EXPECT_EQ(size, base + big.log.size());
  expect_events(events, {base + big.starts[0], base + big.starts[1]}, {{base - 1000, 1000}}, kLogEndClean);
}

}  // namespace
