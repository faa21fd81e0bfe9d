// Report row items: built from decoded log records, freed with their texts.
#include "reports/report_items.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/host.h"
#include "host/text.h"

namespace {

constexpr size_t kTextSlack = 2;         // every text allocation: length + 2
constexpr size_t kChangeTextSlack = 5;   // change-entry texts: length + 5

// A text field in its own allocation; null for an empty field. *failed is set
// when memory runs out.
char* copy_out(const char* text, size_t slack, bool* failed) {
  if (text == nullptr || text[0] == '\0') return nullptr;
  size_t n = std::strlen(text);
  auto* block = static_cast<char*>(allocate_block(0, n + slack));
  if (block == nullptr) {
    *failed = true;
    return nullptr;
  }
  std::memcpy(block, text, n);
  std::memset(block + n, 0, slack);
  return block;
}

template <typename Item>
Item* new_item() {
  return static_cast<Item*>(allocate_block(GMEM_ZEROINIT, sizeof(Item)));
}

template <typename... Texts>
void free_texts(Texts*... texts) {
  (free_block(texts), ...);
}

void free_item(FileRowItem* i) {
  free_texts(i->profile, i->account, i->account_fqdn, i->workstation, i->wts_address, i->sid, i->folder_path,
             i->share, i->file_name, i->new_name, i->trustee_sid, i->unused_text, i->trustee_domain,
             i->trustee_name);
}
void free_item(GpoFileRowItem* i) {
  free_texts(i->profile, i->gpo_text1, i->gpo_text2, i->account, i->account_fqdn, i->workstation, i->wts_address,
             i->sid, i->full_path, i->share, i->file_name, i->new_name);
}
void free_item(GpoFileChangeRowItem* i) {
  free_texts(i->profile, i->gpo_text1, i->gpo_text2, i->account, i->account_fqdn, i->workstation, i->wts_address,
             i->sid, i->full_path, i->text_a, i->text_b, i->share, i->change_text1, i->change_text2,
             i->change_text3, i->change_text4);
}
void free_item(DirectoryRowItem* i) {
  free_texts(i->profile, i->object_dn, i->extra_text, i->new_value, i->old_value, i->requester_sam,
             i->requester_fqdn, i->workstation, i->attribute_comment);
}
void free_item(GpoDirectoryRowItem* i) {
  free_texts(i->profile, i->gpo_text1, i->gpo_text2, i->object_dn, i->new_value, i->old_value, i->requester_sam,
             i->requester_fqdn, i->workstation, i->entry_text);
}
void free_item(LogonRowItem* i) {
  free_texts(i->profile, i->account, i->account_fqdn, i->sid, i->local_text, i->station_session,
             i->wts_address, i->logon_domain, i->workstation);
}

template <typename Item>
Item* finish(Item* item, bool failed) {
  if (!failed) return item;
  free_item(item);
  free_block(item);
  return nullptr;
}

// The fields that GPO file and GPO file-change items share.
template <typename Item>
void copy_gpo_file_head(const GpoFileHead& h, Item* i, bool* failed) {
  i->type = h.type;
  i->body_length = h.body_length;
  i->profile = copy_out(h.profile, kTextSlack, failed);
  i->gpo_text1 = copy_out(h.gpo_text1, kTextSlack, failed);
  i->gpo_text2 = copy_out(h.gpo_text2, kTextSlack, failed);
  i->action = h.action;
  i->event_time = h.event_time;
  i->account = copy_out(h.account, kTextSlack, failed);
  i->account_fqdn = copy_out(h.account_fqdn, kTextSlack, failed);
  i->workstation = copy_out(h.workstation, kTextSlack, failed);
  i->wts_address = copy_out(h.wts_address, kTextSlack, failed);
  i->sid = copy_out(h.sid, kTextSlack, failed);
  std::memcpy(i->ipv4, h.ipv4, sizeof i->ipv4);
  std::memcpy(i->ipv6, h.ipv6, sizeof i->ipv6);
  i->folder = h.folder;
  i->core = h.core;
  i->full_path = copy_out(h.full_path, kTextSlack, failed);
}

void copy_gpo_directory_head(const GpoDirectoryHead& h, GpoDirectoryRowItem* i, bool* failed) {
  i->type = h.type;
  i->body_length = h.body_length;
  i->profile = copy_out(h.profile, kTextSlack, failed);
  i->gpo_text1 = copy_out(h.gpo_text1, kTextSlack, failed);
  i->gpo_text2 = copy_out(h.gpo_text2, kTextSlack, failed);
  i->action = h.action;
  i->event_time = h.event_time;
  std::memcpy(i->values, h.values, sizeof i->values);
  i->object_dn = copy_out(h.object_dn, kTextSlack, failed);
  copy_text(i->object_class, sizeof i->object_class, h.object_class);
  copy_text(i->attribute, sizeof i->attribute, h.attribute);
  std::memcpy(i->ipv4, h.ipv4, sizeof i->ipv4);
  std::memcpy(i->ipv6, h.ipv6, sizeof i->ipv6);
  i->requester_sam = copy_out(h.requester_sam, kTextSlack, failed);
  if (h.requester_sam[0]) i->requester_fqdn = copy_out(h.requester_fqdn, kTextSlack, failed);
  i->workstation = copy_out(h.workstation, kTextSlack, failed);
}

bool moves_or_renames(uint32_t action) { return action == 0x800 || action == 0x1000; }

// useraccountcontrol bits, lowest first.
constexpr const char* kAccountControlBits[] = {
    "Logon Script will be run,",
    "Account is Disabled,",
    "<unknown flag 0x04>,",
    "Home Directory Folder is required,",
    "Account is Locked,",
    "Password is NOT required,",
    "Password cannot be changed by user/object,",
    "User/Object can send an encrypted password,",
    "Temporary Duplicate Account (local user account),",
    "Normal User Account,",
    "<unknown flag 0x400>,",
    "Interdomain Trust Account,",
    "Workstation Trust Account,",
    "Server Trust Account (Domain Controller),",
    "<unknown flag 0x4000>,",
    "<unknown flag 0x8000>,",
    "Password NEVER expires,",
    "MNS Logon Account,",
    "Smart Card Required for Account Logon,",
    "Account Trusted for Delegation (Kerberos Delegation),",
    "Account will NOT be Trusted for Delegation (true even if previously trusted),",
    "Account must use DES encryption types for all keys,",
    "Account does not require Kerberos pre-authentication prior to logon,",
    "Password is expired,",
    "Account Trusted for Delegation (Non-Kerberos)",
};

// "<label>[" the texts of the bits, "]"; a trailing comma is dropped.
void append_flag_list(char* out, size_t size, const char* label, uint32_t bits) {
  append_text(out, size, label);
  size_t start = std::strlen(out);
  for (size_t b = 0; b < sizeof kAccountControlBits / sizeof kAccountControlBits[0]; ++b)
    if (bits & (1u << b)) append_text(out, size, kAccountControlBits[b]);
  size_t end = std::strlen(out);
  if (end == start) append_text(out, size, "<Nothing>");
  else if (out[end - 1] == ',') out[end - 1] = '\0';
  append_text(out, size, "]");
}

}  // namespace

const char* row_server_name(const BYTE* context) {
  // The field is terminated by its writer; a host record that is not gives an empty name.
  const char* name = reinterpret_cast<const char*>(context + kRowServerNameOffset);
  return memchr(name, 0, kRowServerNameBytes) ? name : "";
}

void set_row_server_name(BYTE* context, const char* name) {
  copy_text(reinterpret_cast<char*>(context + kRowServerNameOffset), kRowServerNameBytes, name);
}

LogFamily row_item(const BYTE* context, void** item) {
  for (uint32_t f = kLogFamilyFile; f <= kLogFamilyGpoDirectoryValue; ++f) {
    void* p = owned_block(context, row_item_slot(static_cast<LogFamily>(f)));
    if (p != nullptr) {
      *item = p;
      return static_cast<LogFamily>(f);
    }
  }
  *item = nullptr;
  return kLogFamilyNone;
}

void set_row_item(BYTE* context, LogFamily family, void* item) {
  for (uint32_t f = kLogFamilyFile; f <= kLogFamilyGpoDirectoryValue; ++f)
    set_owned_block(context, row_item_slot(static_cast<LogFamily>(f)), f == family ? item : nullptr);
}

uint32_t logon_event_time(const LogonRowItem* item) { return load_le32(item->timing + kLogonTimingEventOffset); }
uint32_t logon_logoff_time(const LogonRowItem* item) { return load_le32(item->timing + kLogonTimingLogoffOffset); }

FileRowItem* make_file_row_item(const FileLogRecord& r, BOOL keep_new_name) {
  auto* i = new_item<FileRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  i->type = r.type;
  i->body_length = r.body_length;
  i->profile = copy_out(r.profile, kTextSlack, &failed);
  i->action = r.action;
  i->event_time = r.event_time;
  i->account = copy_out(r.account, kTextSlack, &failed);
  i->account_fqdn = copy_out(r.account_fqdn, kTextSlack, &failed);
  i->workstation = copy_out(r.workstation, kTextSlack, &failed);
  if (r.type == 0xFF330002) i->wts_address = copy_out(r.wts_address, kTextSlack, &failed);
  i->sid = copy_out(r.sid, kTextSlack, &failed);
  std::memcpy(i->ipv4, r.ipv4, sizeof i->ipv4);
  std::memcpy(i->ipv6, r.ipv6, sizeof i->ipv6);
  i->folder = r.folder;
  i->blocked = r.blocked;
  i->ace_type = r.ace_type;
  i->folder_path = copy_out(r.folder_path, kTextSlack, &failed);
  i->share = copy_out(r.share, kTextSlack, &failed);
  i->file_name = copy_out(r.file_name, kTextSlack, &failed);
  if (keep_new_name) i->new_name = copy_out(r.new_name, kTextSlack, &failed);
  i->trustee_sid = copy_out(r.trustee_sid, kTextSlack, &failed);
  i->unused_text = copy_out(r.unused_text, kTextSlack, &failed);
  i->trustee_domain = copy_out(r.trustee_domain, kTextSlack, &failed);
  i->trustee_name = copy_out(r.trustee_name, kTextSlack, &failed);
  i->access_mask = r.access_mask;
  i->inheritance = r.inheritance;
  i->final_value = r.final_value;
  return finish(i, failed);
}

GpoFileRowItem* make_gpo_file_row_item(const GpoFileLogRecord& r, BOOL keep_new_name) {
  auto* i = new_item<GpoFileRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  copy_gpo_file_head(r.head, i, &failed);
  i->share = copy_out(r.share, kTextSlack, &failed);
  if (!r.head.folder) {
    const char* slash = std::strrchr(r.head.full_path, '\\');
    i->file_name = copy_out(slash ? slash + 1 : nullptr, kTextSlack, &failed);
  }
  if (keep_new_name) i->new_name = copy_out(r.new_name, kTextSlack, &failed);
  return finish(i, failed);
}

GpoFileChangeRowItem* make_gpo_file_change_row_item(const GpoFileChangeLogRecord& r, const GpoChangeEntry& e) {
  auto* i = new_item<GpoFileChangeRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  copy_gpo_file_head(r.head, i, &failed);
  i->text_a = copy_out(r.text_a, kTextSlack, &failed);
  i->text_b = copy_out(r.text_b, kTextSlack, &failed);
  i->share = copy_out(r.share, kTextSlack, &failed);
  i->section = e.section;
  i->kind = e.kind;
  i->change_text1 = copy_out(e.text1, kChangeTextSlack, &failed);
  i->change_text2 = copy_out(e.text2, kChangeTextSlack, &failed);
  i->value1 = e.value1;
  i->value2 = e.value2;
  i->change_text3 = copy_out(e.text3, kChangeTextSlack, &failed);
  i->change_text4 = copy_out(e.text4, kChangeTextSlack, &failed);
  return finish(i, failed);
}

DirectoryRowItem* make_directory_row_item(const DirectoryLogRecord& r) {
  auto* i = new_item<DirectoryRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  i->type = r.type;
  i->body_length = r.body_length;
  i->profile = copy_out(r.profile, kTextSlack, &failed);
  i->action = r.action;
  i->event_time = r.event_time;
  std::memcpy(i->values, r.values, sizeof i->values);
  i->object_dn = copy_out(r.object_dn, kTextSlack, &failed);
  i->extra_text = copy_out(r.extra_text, kTextSlack, &failed);
  copy_text(i->object_class, sizeof i->object_class, r.object_class);
  copy_text(i->attribute, sizeof i->attribute, r.attribute);
  i->new_value = copy_out(moves_or_renames(r.action) ? r.new_location : r.new_value, kTextSlack, &failed);
  i->old_value = copy_out(r.old_value, kTextSlack, &failed);
  std::memcpy(i->ipv4, r.ipv4, sizeof i->ipv4);
  std::memcpy(i->ipv6, r.ipv6, sizeof i->ipv6);
  i->requester_sam = copy_out(r.requester_sam, kTextSlack, &failed);
  if (r.requester_sam[0]) i->requester_fqdn = copy_out(r.requester_fqdn, kTextSlack, &failed);
  i->workstation = copy_out(r.workstation, kTextSlack, &failed);
  char comment[2048];
  format_attribute_comment(r.attribute, r.new_value, r.old_value, comment, sizeof comment);
  i->attribute_comment = copy_out(comment, kTextSlack, &failed);
  return finish(i, failed);
}

GpoDirectoryRowItem* make_gpo_directory_row_item(const GpoDirectoryLogRecord& r) {
  auto* i = new_item<GpoDirectoryRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  copy_gpo_directory_head(r.head, i, &failed);
  if (moves_or_renames(r.head.action)) {
    i->new_value = copy_out(r.new_location, kTextSlack, &failed);
  } else if (r.head.type == 0xE8002000) {
    i->new_value = copy_out(r.new_value, kTextSlack, &failed);
  }
  if (r.head.type == 0xE8002000) i->old_value = copy_out(r.old_value, kTextSlack, &failed);
  return finish(i, failed);
}

GpoDirectoryRowItem* make_gpo_directory_value_row_item(const GpoDirectoryValueLogRecord& r, const GpoValueEntry& e) {
  auto* i = new_item<GpoDirectoryRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  copy_gpo_directory_head(r.head, i, &failed);
  i->section = e.section;
  i->kind = e.kind;
  i->entry_text = copy_out(e.text, kTextSlack, &failed);
  return finish(i, failed);
}

LogonRowItem* make_logon_row_item(const LogonLogRecord& r) {
  auto* i = new_item<LogonRowItem>();
  if (i == nullptr) return nullptr;
  bool failed = false;
  i->type = r.type;
  i->body_length = r.body_length;
  i->profile = copy_out(r.profile, kTextSlack, &failed);
  i->action = r.action;
  i->secondary_code = r.secondary_code;
  std::memcpy(i->ipv4, r.ipv4, sizeof i->ipv4);
  std::memcpy(i->ipv6, r.ipv6, sizeof i->ipv6);
  std::memcpy(i->block, r.block, sizeof i->block);
  i->logon_time = r.logon_time;
  std::memcpy(i->timing, r.timing_head, sizeof r.timing_head);
  store_le32(i->timing + kLogonTimingEventOffset, r.event_time);
  store_le32(i->timing + kLogonTimingLogoffOffset, r.logoff_time);
  std::memcpy(i->timing + 16, r.timing_tail, sizeof r.timing_tail);
  i->total_seconds = r.total_seconds;
  i->account = copy_out(r.account, kTextSlack, &failed);
  i->account_fqdn = copy_out(r.account_fqdn, kTextSlack, &failed);
  i->sid = copy_out(r.sid, kTextSlack, &failed);
  i->local_text = copy_out(r.local_text, kTextSlack, &failed);
  if (r.station[0] || r.session[0]) {
    i->station_session = static_cast<char*>(allocate_block(GMEM_ZEROINIT, kStationSessionBytes));
    if (i->station_session == nullptr) {
      failed = true;
    } else {
      copy_text(i->station_session, kSessionOffset, r.station);
      copy_text(i->station_session + kSessionOffset, kStationSessionBytes - kSessionOffset, r.session);
    }
  }
  i->wts_address = copy_out(r.wts_address, kTextSlack, &failed);
  i->logon_domain = copy_out(r.logon_domain, kTextSlack, &failed);
  i->workstation = copy_out(r.workstation, kTextSlack, &failed);
  return finish(i, failed);
}

void free_report_row_item(LogFamily family, void* item) {
  if (item == nullptr) return;
  switch (family) {
    case kLogFamilyFile: free_item(static_cast<FileRowItem*>(item)); break;
    case kLogFamilyLogon: free_item(static_cast<LogonRowItem*>(item)); break;
    case kLogFamilyDirectory: free_item(static_cast<DirectoryRowItem*>(item)); break;
    case kLogFamilyGpoFile: free_item(static_cast<GpoFileRowItem*>(item)); break;
    case kLogFamilyGpoFileChange: free_item(static_cast<GpoFileChangeRowItem*>(item)); break;
    case kLogFamilyGpoDirectory:
    case kLogFamilyGpoDirectoryValue: free_item(static_cast<GpoDirectoryRowItem*>(item)); break;
    case kLogFamilyNone: break;
  }
  free_block(item);
}

void free_report_row_items(BYTE* record) {
  for (uint32_t f = kLogFamilyFile; f <= kLogFamilyGpoDirectoryValue; ++f) {
    LogFamily family = static_cast<LogFamily>(f);
    free_report_row_item(family, owned_block(record, row_item_slot(family)));
  }
}

uint32_t row_item_event_time(LogFamily family, const void* item) {
  switch (family) {
    case kLogFamilyFile: return static_cast<const FileRowItem*>(item)->event_time;
    case kLogFamilyLogon: return logon_event_time(static_cast<const LogonRowItem*>(item));
    case kLogFamilyDirectory: return static_cast<const DirectoryRowItem*>(item)->event_time;
    case kLogFamilyGpoFile: return static_cast<const GpoFileRowItem*>(item)->event_time;
    case kLogFamilyGpoFileChange: return static_cast<const GpoFileChangeRowItem*>(item)->event_time;
    case kLogFamilyGpoDirectory:
    case kLogFamilyGpoDirectoryValue: return static_cast<const GpoDirectoryRowItem*>(item)->event_time;
    case kLogFamilyNone: break;
  }
  return 0;
}

void format_attribute_comment(const char* attribute, const char* new_value, const char* old_value, char* out,
                              size_t size) {
  copy_text(out, size, "");
  if (equal_ignoring_case(attribute, "useraccountcontrol")) {
    uint32_t old_bits = static_cast<uint32_t>(std::strtoul(old_value, nullptr, 10));
    uint32_t new_bits = static_cast<uint32_t>(std::strtoul(new_value, nullptr, 10));
    append_flag_list(out, size, "Added [", old_bits & ~new_bits);
    append_flag_list(out, size, "Removed [", new_bits & ~old_bits);
  } else if (equal_ignoring_case(attribute, "lastLogon")) {
    // A Windows file time: 100 ns ticks since 1601, shown as local time.
    unsigned long long ticks = std::strtoull(new_value, nullptr, 10);
    const unsigned long long kEpochTicks = 116444736000000000ull;
    if (ticks < kEpochTicks) return;
    time_t seconds = static_cast<time_t>((ticks - kEpochTicks) / 10000000ull);
    const struct tm* local = std::localtime(&seconds);
    if (local == nullptr) return;
    char text[64];
    if (std::strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y", local) == 0) return;
    // The C library's fixed form pads the day with a blank.
    if (text[8] == '0') text[8] = ' ';
    copy_text(out, size, text);
  }
}
