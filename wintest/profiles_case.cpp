// Tracking profiles in the local machine's registry: one of each type made
// through the add-profile button and its dialog, listed through the profile
// list's event, disabled and enabled, then deleted through the delete button
// with a profile that has a list below it; the registry read back each time.
#include <algorithm>
#include <cstdio>

#include "config/profiles.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "resources/resource.h"
#include "console/list_view.h"
#include "sim/registry_dump.h"
#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr uint16_t kScreenKey = 31;
constexpr int kListItem = 100;
constexpr uint32_t kProfileList = 0x6024000A;
constexpr uint32_t kAddProfileButton = 0x60210027;
constexpr uint32_t kDeleteProfilesButton = 0x60210028;
constexpr char kVendorKey[] = "SOFTWARE\\Brightmere Software, Inc.";
constexpr char kProfilesKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
constexpr char kAddDialog[] = "Add VORNIX Profile to selected server(s)";

struct Screen {
  HWND window;
  HWND list;
};

DWORD press(const Session& s, const Screen& screen, uint32_t id) {
  HWND button = host::add_control(screen.window, 3000 + static_cast<int>(id & 0xFF), "Button", "",
                                  host::ControlSpec{id, kDescriptorPushButton, kScreenKey, kListItem});
  return s.library.entry_point_button_services(screen.window, 0, host::descriptor_of(button));
}

// "name icon" per row.
std::vector<std::string> rows_with_icons(HWND list) {
  std::vector<std::string> out;
  for (const support::ListRow& row : support::list_rows(list)) out.push_back(row.text + " " + std::to_string(row.image));
  return out;
}

// The profile list as the library fills it again; the rows' records go back first.
std::vector<std::string> listed(const Session& s, const Screen& screen) {
  support::return_row_records(screen.list, export_of<support::AllocRecordFn>(s.library, "alloc_memory_for_list"),
                              export_of<support::DeleteRecordFn>(s.library, "delete_list_item"));
  host::send_list_event(s.library, screen.list);
  return rows_with_icons(screen.list);
}

// Every key and value below Profiles, sorted: the order Windows keeps values in is not the point here.
std::vector<std::string> stored() {
  std::vector<std::string> lines;
  support::dump_registry(HKEY_LOCAL_MACHINE, kProfilesKey, "Profiles", lines, false);
  std::sort(lines.begin(), lines.end());
  return lines;
}

DWORD stored_number(const std::string& profile, const char* name) {
  DWORD value = 0, size = sizeof value;
  RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(kProfilesKey) + "\\" + profile).c_str(), name, RRF_RT_REG_DWORD,
               nullptr, &value, &size);
  return value;
}

// The creator the profiles name: the account the console runs under on this computer.
std::string creator() {
  char user[257] = {};
  DWORD user_size = sizeof user;
  GetUserNameA(user, &user_size);
  char computer[100] = {};
  DWORD size = sizeof computer;
  GetComputerNameA(computer, &size);
  return std::string(user) + " on " + computer;
}

std::string local_computer() {
  char computer[100] = {};
  DWORD size = sizeof computer;
  GetComputerNameA(computer, &size);
  return computer;
}

uint32_t now_seconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<uint32_t>(((static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
                                116444736000000000ull) / 10000000ull);
}

void create_each_type(const Session& s, const Screen& screen) {
  std::vector<std::string> rows;
  bool ok_waited = false;
  auto inspect = [&](HWND dialog) {
    ok_waited = !IsWindowEnabled(GetDlgItem(dialog, IDOK));
    rows = support::list_column(GetDlgItem(dialog, IDC_PROFILE_TYPES));
  };
  uint32_t before = now_seconds();
  std::vector<std::string> results;
  for (const ProfileType& type : kProfileTypes) {
    script({kAddDialog, IDOK, {{IDC_PROFILE_TYPES, type.keyword}, {IDC_PROFILE_NAME, type.keyword}},
            results.empty() ? std::function<void(HWND)>(inspect) : nullptr});
    host::clear_service_calls();
    DWORD result = press(s, screen, kAddProfileButton);
    std::vector<std::string> calls = host::service_calls();
    bool refreshed = std::find(calls.begin(), calls.end(), "host_refresh_control item=0") != calls.end();
    results.push_back(std::string(type.keyword) + " " + std::to_string(result) + (refreshed ? " refreshed" : ""));
  }
  uint32_t after = now_seconds();
  check(ok_waited, "the dialog's OK waits for a name");
  check_equal({"VNX_FS_TRACK\tFile System Activity", "VNX_LOGIN_TRACK\tLogon / Logoff Activity",
               "VNX_FAILED_LOGIN\tFailed Logon Activity", "VNX_AD_EVENT\tActive Directory Activity",
               "VNX_GPO_EVENT\tGPO Change Activity"},
              rows, "the dialog offers the five types");
  check_equal({"VNX_FS_TRACK 1 refreshed", "VNX_LOGIN_TRACK 1 refreshed", "VNX_FAILED_LOGIN 1 refreshed",
               "VNX_AD_EVENT 1 refreshed", "VNX_GPO_EVENT 1 refreshed"},
              results, "each type is made through the add button, and the list refreshed");

  std::vector<std::string> expected;
  bool times_now = true;
  for (const ProfileType& type : kProfileTypes) {
    std::string key = std::string("Profiles\\") + type.keyword;
    DWORD created = stored_number(type.keyword, "CreateDate");
    times_now &= created >= before && created <= after;
    expected.insert(expected.end(), {key, key + ":CreateDate=4:" + std::to_string(created),
                                     key + ":CreatedBy=1:" + creator() + "||",
                                     key + ":LastUpdateDate=4:" + std::to_string(created),
                                     key + ":ProfileType=4:" + std::to_string(type.code)});
  }
  expected.push_back("Profiles");
  std::sort(expected.begin(), expected.end());
  check(times_now, "each is dated when it was made");
  check_equal(expected, stored(), "each is stored with its type, creator and dates");
  check_equal(5, take_journal().size(), "one dialog per profile and no message");
}

void refuse_a_bad_name(const Session& s, const Screen& screen) {
  script({kAddDialog, IDOK, {{IDC_PROFILE_NAME, "bad/name"}}, nullptr});
  script({kAddDialog, IDCANCEL, {}, nullptr});
  std::vector<std::string> before = stored();
  check_equal(1, press(s, screen, kAddProfileButton), "a name with a slash");
  // The dialog shows the description of the type selected first.
  check_equal({std::string(kAddDialog) + " | Select Profile Type to create:\nAbout Selected Profile Type:\n" +
                   kProfileTypes[0].description + "\nEnter name for new Profile:",
               "Profile Naming Warning | Profile Name cannot contain a slash, please revise."},
              take_journal(), "is refused with its warning, and the dialog stays until cancelled");
  check_equal(before, stored(), "and nothing is written");
}

void disable_and_enable(const Session& s, const Screen& screen) {
  std::string computer = local_computer();
  // The library's own code, linked in: no export reaches the profile list's disable command yet.
  std::vector<std::string> results;
  for (const support::ListRow& row : support::list_rows(screen.list)) {
    const ProfileType* type = profile_type_by_keyword(row.text.c_str());
    int at = static_cast<int>(results.size());
    results.push_back(std::to_string(
        SetProfileEnabled(nullptr, screen.list, at, type->code, computer.c_str(), row.text.c_str(), 1)));
  }
  check_equal(std::vector<std::string>(5, "0"), results, "each profile is disabled");
  check_equal({"VNX_AD_EVENT 80", "VNX_FAILED_LOGIN 81", "VNX_FS_TRACK 82", "VNX_GPO_EVENT 90", "VNX_LOGIN_TRACK 83"},
              rows_with_icons(screen.list), "and its row shows the disabled icon at once");
  size_t marks = 0;
  for (const std::string& line : stored()) marks += line.find(":Disabled=1:0") != std::string::npos;
  check_equal(5, marks, "Disabled is stored as a one-character text");
  check_equal({"VNX_AD_EVENT 80", "VNX_FAILED_LOGIN 81", "VNX_FS_TRACK 82", "VNX_GPO_EVENT 90", "VNX_LOGIN_TRACK 83"},
              listed(s, screen), "listed again, the disabled icons come from the registry");
  check_equal(0, SetProfileEnabled(nullptr, screen.list, 4, kProfileLogon, computer.c_str(), "VNX_LOGIN_TRACK", 0),
              "a profile is enabled");
  check_equal(0, SetProfileEnabled(nullptr, screen.list, 4, kProfileLogon, computer.c_str(), "VNX_LOGIN_TRACK", 0),
              "and enabling it again is no error");
  check_equal({"VNX_AD_EVENT 80", "VNX_FAILED_LOGIN 81", "VNX_FS_TRACK 82", "VNX_GPO_EVENT 90", "VNX_LOGIN_TRACK 2"},
              listed(s, screen), "it lists with its type's icon");
}

void delete_all(const Session& s, const Screen& screen) {
  // A list below one profile: the deletion takes the key's tree.
  HKEY emails;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kProfilesKey) + "\\VNX_LOGIN_TRACK\\AlertEmails").c_str(), 0,
                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &emails, nullptr);
  RegSetValueExA(emails, "1", 0, REG_SZ, reinterpret_cast<const BYTE*>("ops@brightmere.com"), 19);
  RegCloseKey(emails);
  for (int row = 0; row < 5; ++row) support::set_row_selected(screen.list, static_cast<size_t>(row));
  check_equal(1, press(s, screen, kDeleteProfilesButton), "the selected profiles are deleted");
  std::vector<std::string> asked;
  for (const char* name : {"VNX_LOGIN_TRACK", "VNX_GPO_EVENT", "VNX_FS_TRACK", "VNX_FAILED_LOGIN", "VNX_AD_EVENT"})
    asked.push_back(std::string("CONFIRM PROFILE DELETE | Delete Profile ") + name + " on server " + local_computer() + "?");
  check_equal(asked, take_journal(), "each after its confirmation, last row first");
  check_equal(0, static_cast<unsigned long long>(SendMessageA(screen.list, LVM_GETITEMCOUNT, 0, 0)),
              "their rows go");
  check_equal({"Profiles"}, stored(), "and so do their keys, lists and all");
}

}  // namespace

void profiles_case(Session* s) {
  begin_case("profiles");
  // The product key as the agent's installation leaves it: Profiles exists, empty.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVendorKey);
  HKEY profiles;
  if (!check_equal(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProfilesKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                  nullptr, &profiles, nullptr),
                   "the product key is prepared"))
    return;
  RegCloseKey(profiles);
  Screen screen;
  screen.window = host::create_screen(kScreenKey, "Profiles");
  screen.list = host::add_control(screen.window, kListItem, WC_LISTVIEWA, "",
                                  host::ControlSpec{kProfileList, kDescriptorListView});
  clear_journal();
  create_each_type(*s, screen);
  refuse_a_bad_name(*s, screen);
  // Registry order: subkeys by name.
  check_equal({"VNX_AD_EVENT 49", "VNX_FAILED_LOGIN 0", "VNX_FS_TRACK 1", "VNX_GPO_EVENT 89", "VNX_LOGIN_TRACK 2"},
              listed(*s, screen), "the list shows each profile with its type's icon");
  disable_and_enable(*s, screen);
  delete_all(*s, screen);
  DestroyWindow(screen.window);
}

}  // namespace wintest
