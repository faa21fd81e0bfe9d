// Applying a changed field when the user leaves it: a server setting is written
// to the sibling server, to every server of the selection in order, or to the
// server the host names; a few fields are accepted without being written. The
// results are the host's: 0 when the value was applied, 1 when it was accepted
// without being written or rejected with a message.
#include <cstdio>
#include <cstring>

#include "config/server_settings.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr IdRange kSiblingFields[] = {{0x60F8001D, 0x60F8001D}, {0x60F80023, 0x60F80023}, {0x60F80025, 0x60F80026},
                                      {0x60F8002F, 0x60F80031}, {0x60F8003E, 0x60F8003F}, {0x60F8005B, 0x60F8005B}};
constexpr IdRange kAcceptedFields[] = {
    {0x60180001, 0x60180005}, {0x60280053, 0x60280053}, {0x60280055, 0x60280055}, {0x60280059, 0x60280059},
    {0x6028005D, 0x6028005D}, {0x6028005F, 0x6028005F}, {0x60280061, 0x60280061}, {0x60280063, 0x60280063},
    {0x60280065, 0x60280065}, {0x60280067, 0x60280067}, {0x60280069, 0x60280069}, {0x6028006B, 0x6028006B},
    {0x6028006D, 0x6028006D}, {0x60280076, 0x60280076}, {0x602800BA, 0x602800BA}, {0x602800BC, 0x602800BC},
    {0x602800F9, 0x602800F9}, {0x6048001F, 0x6048001F}, {0x60480924, 0x60480924}, {0x60480D19, 0x60480D19},
    {0x60480D1B, 0x60480D1B}, {0x60F8001A, 0x60F8001A}};
constexpr IdRange kSelectionFields[] = {{0x6038008A, 0x6038008B}, {0x6038008D, 0x60380090}, {0x603800A0, 0x603800A0},
                                        {0x603800A7, 0x603800A7}, {0x603800AD, 0x603800AD}, {0x603800B4, 0x603800B5}};
constexpr IdRange kServerFields[] = {{0x603800C8, 0x603800C9}, {0x603800CB, 0x603800CE}, {0x603800D9, 0x603800DA},
                                     {0x603800EC, 0x603800EC}, {0x603800EF, 0x603800EF}, {0x6038011C, 0x6038011D},
                                     {0x60480007, 0x60480009}};

constexpr uint32_t kSelectionLogPath = 0x6038008B;
constexpr uint32_t kLogPath = 0x603800C9;
constexpr uint32_t kArchivePath = 0x6038011D;
constexpr uint32_t kDepartmentHosted = 0x603800C8;

constexpr char kLogPathTitle[] = "Update Log File Path to continue.";
constexpr char kLogPathText[] =
    "The Log File Path must be a share on the selected server. This share will be used to store report-ready log "
    "files.";
constexpr char kArchivePathTitle[] = "Update Auto-Archive path to continue.";
constexpr char kArchivePathText[] =
    "The Auto-Archive Path must be in UNC format, i.e. \\\\server\\share\\path\n\nThe path specified must be "
    "reachable by the VORNIX Server Agent's logon account, including Change or Full Control Permissions to the "
    "share of the specified path.\n\nPath specified:\n%s";
constexpr DWORD kArchivePathBytes = 512;

// The item record's word 133 points to the department copy, a block of the host's: a pointer
// slot, so pointer-sized in 64-bit builds.
constexpr size_t kItemDepartmentCopy = 133 * 4;
constexpr size_t kDepartmentCopyBytes = 1500;
constexpr size_t kDepartmentClearedBytes = 10;
static_assert(kItemDepartmentCopy + sizeof(void*) <= kOwnedSlotsOffset, "the department copy lies in the key area");

// A rejected value: the error box, then the focus back to the window the host names.
void reject(HWND focus_back, const char* text, const char* title) {
  show_message(focus_back, text, title, MB_ICONERROR);
  if (focus_back) SetFocus(focus_back);
}

DWORD write_setting(DWORD root, const char* server, uint32_t id, const char* text, HWND owner) {
  char value[kSettingTextBytes];
  copy_text(value, sizeof value, text);
  return ServerSetting(root, nullptr, server, id, value, decimal_value(value), owner, nullptr, 1);
}

// The server selection: the servers selected in the main server list, in row order, read when
// the field is applied.
template <typename Visit>
bool for_each_selected_server(Visit visit) {
  HWND list = IsWindow(g_library.main_server_list) ? g_library.main_server_list : nullptr;
  if (list == nullptr) return true;
  for (int row = -1;;) {
    row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
    if (row < 0) return true;
    char name[sizeof CurrentServer::name] = {};
    LPARAM param;
    if (read_list_row(list, row, name, sizeof name, &param) && !visit(name)) return false;
  }
}

// Writes the value to every selected server; a log file path with a colon stops the walk.
// The text is the same for every server, so such a path is refused before the first write.
DWORD apply_to_selection(const char* text, HWND screen, HWND focus_back, uint32_t id) {
  bool applied = for_each_selected_server([&](const char* server) {
    if (id == kSelectionLogPath && std::strchr(text, ':') != nullptr) {
      reject(focus_back, kLogPathText, kLogPathTitle);
      return false;
    }
    write_setting(kProductRoot, server, id, text, screen);
    return true;
  });
  return applied ? 0 : 1;
}

// The auto-archive path must be a network path: the field's own text is tested, and emptied when refused.
bool archive_path_refused(HWND screen, HWND focus_back) {
  char path[kArchivePathBytes] = {};
  DWORD item = read_screen_field(screen, kArchivePath, path, sizeof path);
  if (item == 0) return false;
  if (path[0] == '\0' || (path[0] == '\\' && path[1] == '\\')) return false;
  char text[sizeof kArchivePathText + kArchivePathBytes];
  std::snprintf(text, sizeof text, kArchivePathText, path);
  show_message(focus_back, text, kArchivePathTitle, MB_ICONERROR);
  SetDlgItemTextA(screen, static_cast<int>(item), "");
  if (focus_back) SetFocus(focus_back);
  return true;
}

// The last department name entered is kept in the block the record points to; an empty
// name clears the block's start. The rest of the block is kept zero.
void keep_department(void* record, const char* text) {
  char* copy = record ? static_cast<char*>(pointer_at(static_cast<const uint8_t*>(record), kItemDepartmentCopy))
                      : nullptr;
  if (copy == nullptr) return;
  if (text[0] == '\0') {
    std::memset(copy, 0, kDepartmentClearedBytes);
    return;
  }
  size_t n = strnlen(text, kDepartmentCopyBytes - 1);
  std::memcpy(copy, text, n);
  std::memset(copy + n, 0, kDepartmentCopyBytes - n);
}

DWORD apply_to_server(const char* text, HWND screen, uintptr_t* descriptor, const char* server, void* record,
                      HWND focus_back, uint32_t id) {
  if (id == kArchivePath && archive_path_refused(screen, focus_back)) return 1;
  if (id == kLogPath && std::strchr(text, ':') != nullptr) {
    reject(focus_back, kLogPathText, kLogPathTitle);
    return 1;
  }
  if (id == kDepartmentHosted) keep_department(record, text);
  if (descriptor != nullptr)
    set_descriptor_word(descriptor,
                        descriptor_kind(descriptor) == kDescriptorCheckBox ? kDescWordCheckBoxCounter
                                                                           : kDescWordEditCounter,
                        kChangeCounterRefresh);
  // No server named: the current server.
  CurrentServer current = {};
  if (server == nullptr || server[0] == '\0') current = current_server();
  write_setting(kProductRoot, current.name[0] ? current.name : server, id, text, screen);
  return 0;
}

}  // namespace

QVMR_EXPORT DWORD WINAPI entry_point_edit_services(const char* new_text, HWND screen, uintptr_t* descriptor,
                                                   const char* server, void* record, uintptr_t, uintptr_t, uintptr_t,
                                                   uintptr_t, HWND focus_back, uintptr_t, uintptr_t,
                                                   DWORD control_id) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  const char* text = new_text ? new_text : "";
  if (in_ranges(kSiblingFields, control_id)) {
    char sibling[sizeof CurrentServer::name];
    sibling_server(sibling, sizeof sibling);
    if (sibling[0] != '\0') write_setting(kSiblingRoot, sibling, control_id, text, screen);
    return 1;
  }
  if (in_ranges(kAcceptedFields, control_id)) return 1;
  if (in_ranges(kSelectionFields, control_id)) return apply_to_selection(text, screen, focus_back, control_id);
  if (in_ranges(kServerFields, control_id))
    return apply_to_server(text, screen, descriptor, server, record, focus_back, control_id);
  return kResultNotHandled;
}
