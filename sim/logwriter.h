// Writes activity log files as the agents do: each record an 8-byte header
// and a scrambled body, from the library's plain records; and damages them on
// purpose (records cut short, garbage runs, overlong lengths, a file that ends
// inside a header).
//
//   support::LogWriter log;
//   log.add(support::sample_file_record(0xFF330002, 1));
//   log.add_garbage(300, 7);
//   log.add(support::sample_logon_record(0x82000011, 2));
//   log.save(folder + "/" + support::log_file_name("x", "FS1", 2016, 3, 7));
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reports/log_format.h"

namespace support {

// "<prefix>_<server><letter>_<Month><DD><YYYY>.vnx", the letter 'a' + the server name's length.
std::string log_file_name(const std::string& prefix, const std::string& server, int year, int month, int day);

// The agent's side of the body rotation: the inverse of restoring.
void scramble_log_body(uint8_t* body, size_t count);

// Encoded records: header and scrambled body.
std::vector<uint8_t> encode_log_record(const FileLogRecord& record);
std::vector<uint8_t> encode_log_record(const LogonLogRecord& record);
std::vector<uint8_t> encode_log_record(const DirectoryLogRecord& record);
std::vector<uint8_t> encode_log_record(const GpoFileLogRecord& record);
std::vector<uint8_t> encode_log_record(const GpoFileChangeLogRecord& record,
                                       const std::vector<GpoChangeEntry>& entries);
std::vector<uint8_t> encode_log_record(const GpoDirectoryLogRecord& record);
std::vector<uint8_t> encode_log_record(const GpoDirectoryValueLogRecord& record,
                                       const std::vector<GpoValueEntry>& entries);
// A header and a body given as restored bytes (scrambled here, all of it).
std::vector<uint8_t> encode_raw_record(uint32_t type, const std::vector<uint8_t>& restored_body);

// Sample records: every text field filled with a distinct text derived from
// the seed, numbers and flags set, so that a field read from the wrong place
// shows. The entry counts are those of the entries passed when encoding.
FileLogRecord sample_file_record(uint32_t type, uint32_t seed);
LogonLogRecord sample_logon_record(uint32_t type, uint32_t seed);
DirectoryLogRecord sample_directory_record(uint32_t type, uint32_t seed);
GpoFileLogRecord sample_gpo_file_record(uint32_t type, uint32_t seed);
GpoFileChangeLogRecord sample_gpo_file_change_record(uint32_t type, uint32_t seed);
GpoDirectoryLogRecord sample_gpo_directory_record(uint32_t type, uint32_t seed);
GpoDirectoryValueLogRecord sample_gpo_directory_value_record(uint32_t type, uint32_t seed);
std::vector<GpoChangeEntry> sample_change_entries(size_t count, uint32_t seed);
std::vector<GpoValueEntry> sample_value_entries(size_t count, uint32_t seed);

// A sample record of any valid type, encoded (two entries for the entry families).
std::vector<uint8_t> sample_encoded_record(uint32_t type, uint32_t seed);

class LogWriter {
 public:
  // Whole records, with their entries for the entry families; each returns the offset at which the record starts.
  template <typename Record>
  size_t add(const Record& record) {
    return append(encode_log_record(record));
  }
  template <typename Record, typename Entry>
  size_t add(const Record& record, const std::vector<Entry>& entries) {
    return append(encode_log_record(record, entries));
  }
  size_t append(const std::vector<uint8_t>& bytes);

  // Damage. Garbage bytes all lie below 0x80, so no run of them, nor a run
  // joined to a neighbouring record's header, reads as a valid type code.
  size_t add_cut(const std::vector<uint8_t>& record, size_t keep);  // its first `keep` bytes
  size_t add_garbage(size_t count, uint32_t seed);
  size_t add_overlong(uint32_t type, uint32_t body_length);  // a valid type with a length >= 180000
  size_t add_partial_header(uint32_t type, size_t keep);     // the first keep (< 8) bytes of a header

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }
  // Writes the file (replacing it); false with errno set when that fails.
  bool save(const std::string& path) const;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace support
