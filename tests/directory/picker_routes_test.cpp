// The directory screens reached as the host reaches them: the lists of the
// loaded library routed to their searches, the service point list, and the
// picker dialog that a profile form's button opens, answered by the scripted
// user, whose chosen entries the form's apply writes into the registry.
#include "resources/resource.h"
#include "tests/directory/loaded_directory_fixture.h"

namespace {

constexpr uint16_t kFormKey = 41;
constexpr int kProfilesItem = 105;
constexpr int kTrackingItem = 110;
const std::string kDomain = support::kDemoDomainDn;
const std::string kDomainAsGiven = "dc=brightmere,dc=local";  // as the directory spells it in a found entry's name

class PickerRoutes : public support::LoadedDirectoryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    // The console machine keeps a directory profile and a group policy profile.
    const std::string profiles = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\";
    world_.add_registry_text(world_.console(), "HKLM",
                             profiles + "Directory Changes]\r\n\"ProfileType\"=dword:00000130\r\n\r\n" + profiles +
                                 "Group Policy]\r\n\"ProfileType\"=dword:00000140\r\n\r\n");
    LoadedDirectoryTest::SetUp();
  }

  std::vector<std::string> rows_of(uint32_t id) {
    HWND screen = host::create_screen(static_cast<uint16_t>(70 + lists_.size()), "Picker");
    HWND list = add_list(screen, id, 100);
    EXPECT_EQ(host::send_list_event(library_, list), 1u);
    return support::list_column(list);
  }

  // A profile form with the profile selected in its profile list and one tracking list.
  HWND form(const char* profile, uint32_t tracking_id) {
    form_ = host::create_screen(kFormKey, "Profile");
    HWND profiles = add_list(form_, 0x6024000A, kProfilesItem);
    EXPECT_EQ(host::send_list_event(library_, profiles), 1u);
    std::vector<std::string> names = support::list_column(profiles);
    for (size_t r = 0; r < names.size(); ++r) support::set_row_selected(profiles, r, names[r] == profile);
    HWND tracking = add_list(form_, tracking_id, kTrackingItem);
    EXPECT_EQ(host::send_list_event(library_, tracking), 1u);
    return tracking;
  }

  DWORD press(uint32_t id) {
    HWND button = host::add_control(form_, 3000 + static_cast<int>(id & 0xFF), "Button", "",
                                    host::ControlSpec{id, kDescriptorPushButton, kFormKey, kTrackingItem});
    return library_.entry_point_button_services(form_, 0, host::descriptor_of(button));
  }

  // A value of a key below the console machine's profiles; a multi-string as its strings.
  static std::vector<std::string> stored(const std::string& key, const char* value) {
    HKEY opened;
    std::string path = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\" + key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {"<no key>"};
    char data[4000] = {};
    DWORD size = sizeof data - 2;
    LONG rc = RegQueryValueExA(opened, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (rc != ERROR_SUCCESS) return {"<none>"};
    std::vector<std::string> out;
    for (const char* s = data; *s; s += std::strlen(s) + 1) out.push_back(s);
    return out;
  }

  // The scripted user's next step in the picker: text typed into one of its controls, then a button pressed.
  static void pick(int button, int typed_into = 0, const std::string& text = "") {
    ui::Answer answer{"AD_PICKER", button, "", {}};
    if (typed_into) answer.edits = {{typed_into, text}};
    ui::script(answer);
  }

  static ui::JournalEntry picker_shown() {
    for (const ui::JournalEntry& e : ui::journal())
      if (e.template_name == "AD_PICKER") return e;
    ADD_FAILURE() << "no picker was shown";
    return {};
  }
};

TEST_F(PickerRoutes, EachPickerListShowsItsKindOfTheConsolesDomain) {
  std::vector<std::string> users = rows_of(0x101400A3);
  EXPECT_EQ(users.size(), 11u);
  EXPECT_EQ(users.front(), "Administrator");
  std::vector<std::string> groups = rows_of(0x10146002);
  EXPECT_EQ(groups, (std::vector<std::string>{"Finance Readers", "HR Staff", "Engineering", "Domain Admins", "Contractors"}));
  std::vector<std::string> containers = rows_of(0x602400AF);
  EXPECT_NE(std::find(containers.begin(), containers.end(), "Groups"), containers.end());
  EXPECT_EQ(std::find(containers.begin(), containers.end(), "Jane Smith"), containers.end());
  std::vector<std::string> any = rows_of(0x602400FA);
  EXPECT_EQ(any.size(), containers.size());  // one level down, every object there is a container or an OU
  EXPECT_EQ(rows_of(0x101400B0), (std::vector<std::string>{"SRV01", "SRV02"}));  // the agents' service points
}

TEST_F(PickerRoutes, ObjectsChosenKindByKindAreAddedOnceAndTheApplyWritesThemWithTheirWord) {
  HWND objects = form("Directory Changes", 0x602400A3);
  pick(IDC_PICKER_USERS);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Jane Smith");
  pick(IDC_PICKER_CONTACTS, IDC_PICKER_BASE, "OU=Sales," + kDomain);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Eve");
  pick(IDC_PICKER_GROUPS, IDC_PICKER_BASE, kDomain);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "HR Staff");
  pick(IDC_PICKER_OBJECTS, IDC_PICKER_BASE, "OU=Groups," + kDomain);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "HR Staff");  // chosen already
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Engineering");
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Contractors");
  pick(IDC_PICKER_REMOVE, IDC_PICKER_CHOSEN, "Contractors");
  pick(IDC_PICKER_CONTAINERS);
  pick(IDOK);
  EXPECT_EQ(press(0x602100A3), 1u);
  EXPECT_EQ(ui::script_left(), 0u);
  ui::JournalEntry shown = picker_shown();
  EXPECT_EQ(shown.title, "Choose Active Directory Objects to Track");
  EXPECT_NE(shown.text.find(kDomain), std::string::npos) << "the search starts at the domain";
  // The window's icon follows the kind listed; containers have none of their own.
  EXPECT_EQ(shown.icons, (std::vector<std::string>{"AD_USER", "AD_CONTACT", "ad_universalgroup", "ad_search", ""}));
  EXPECT_EQ(support::list_column(objects), (std::vector<std::string>{"Jane Smith", "Eve External", "HR Staff", "Engineering"}));

  // Cancel adds nothing; an entry the list holds already is not added twice.
  ui::clear_journal();
  pick(IDC_PICKER_USERS);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Administrator");
  pick(IDCANCEL);
  EXPECT_EQ(press(0x602100A3), 1u);
  EXPECT_EQ(support::list_column(objects).size(), 4u);
  pick(IDC_PICKER_USERS);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Jane Smith");
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Administrator");
  pick(IDOK);
  EXPECT_EQ(press(0x602100A3), 1u);
  EXPECT_EQ(support::list_column(objects).size(), 5u);

  ASSERT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(stored("Directory Changes", "ObjTrack"),
            (std::vector<std::string>{"cn=Jane Smith,ou=Finance," + kDomainAsGiven + "00000000",
                                      "cn=Eve External,ou=Sales," + kDomainAsGiven + "00000000",
                                      "cn=HR Staff,ou=Groups," + kDomainAsGiven + "00000000",
                                      "cn=Engineering,ou=Groups," + kDomainAsGiven + "00000000",
                                      "cn=Administrator,cn=Users," + kDomainAsGiven + "00000000"}));
}

TEST_F(PickerRoutes, ClassesAttributesAndPolicyObjectsComeFromTheSchemaAndTheDomain) {
  HWND classes = form("Directory Changes", 0x602400A6);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "*Any");
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "user");
  pick(IDC_PICKER_USERS);  // the kinds serve the object list only
  pick(IDOK);
  EXPECT_EQ(press(0x602100A3), 1u);
  EXPECT_EQ(picker_shown().title, "Choose Active Directory Object Classes to Track");
  EXPECT_TRUE(picker_shown().icons.empty());
  EXPECT_EQ(support::list_column(classes), (std::vector<std::string>{"*Any Object Class*", "user"}));
  ASSERT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(stored("Directory Changes", "ObjClassTrack"), (std::vector<std::string>{"*00000000", "user00000000"}));

  // An attribute added while the exclude box is checked carries the exclude word.
  ui::clear_journal();
  HWND attributes = form("Directory Changes", 0x602400AA);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "cn");
  pick(IDC_PICKER_EXCLUDE);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "description");
  pick(IDOK);
  EXPECT_EQ(press(0x602100A3), 1u);
  EXPECT_EQ(support::list_column(attributes), (std::vector<std::string>{"cn", "description"}));
  ASSERT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(stored("Directory Changes", "AttrTrack"), (std::vector<std::string>{"cn00000000", "description00040000"}));

  // A group policy object is stored under its name with the path of its files.
  form("Group Policy", 0x602400DA);
  pick(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, "Workstation");
  pick(IDOK);
  EXPECT_EQ(press(0x602100A3), 1u);
  ASSERT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(stored("Group Policy\\GPOsTracked", "Workstation Lockdown"),
            std::vector<std::string>{"\\\\brightmere.local\\SysVol\\brightmere.local\\Policies\\"
                                     "{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}"});
}

}  // namespace
