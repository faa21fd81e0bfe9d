// The unattended run of list event 0x60440932 as the host starts it: the lines of
// the host's unattended log file, the mail a real SMTP server received, the
// schedule's last error, the frozen list store and the end-of-run request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <utime.h>

#include "console/linked_library.h"
#include "config/email_config.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "config/unattended_run.h"
#include "host/control_id.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/logwriter.h"
#include "sim/mail_server.h"
#include "sim/whole_file.h"

namespace {

constexpr uint32_t kDay = 86400;
constexpr uint32_t kDec3 = 1796335200;  // the nominal time of a December 3 log
constexpr char kSchedule[] = "Reports\\Graphs\\Nightly";

class UnattendedRunTest : public ::testing::Test {
 public:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_machine("MAILHOST", "127.0.0.9");
    world_.add_registry_text("SRV01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                                              "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
    folder_ = world_.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs";
    std::filesystem::create_directories(folder_);
    world_.set_clock_start(kDec3 + 2 * kDay + 3600);
    support::start_in_process(world_, &table_);
    host::clear_service_calls();
    std::memset(&g_quick_report, 0, sizeof g_quick_report);

    HWND servers_screen = host::create_screen(2, "Servers");
    servers_ = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
    support::insert_list_rows(servers_, {{"SRV01", nullptr}});
    ui::click_row(servers_, 0);
    g_library.main_server_list = servers_;
    screen_ = host::create_screen(3, "Unattended");
    for (int i = 0; i < kQuickListCount; ++i) {
      lists_[i] = host::add_control(screen_, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
      build_report_view(lists_[i], report_view_of_list(kQuickListControls[i]));
    }
    log_path_ = folder_ + "/../run.log";
    host::unattended_log_file() = CreateFileA(log_path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  }

  void TearDown() override {
    if (host::unattended_log_file()) CloseHandle(host::unattended_log_file());
    host::unattended_log_file() = nullptr;
    g_library.store_frozen = 0;  // so that the rows' records are freed
    g_library.main_server_list = nullptr;
    for (HWND list : lists_) support::release_list_rows(list, true);
    release_registry_connections();
    support::end_in_process();
  }

  static void set_value(const char* subkey, const char* name, DWORD type, const std::string& data) {
    HKEY root, key;
    ASSERT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    std::string path = std::string(kProductKey) + "\\" + subkey;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              0);
    RegCloseKey(key);
  }
  static std::string value(const char* subkey, const char* name) {
    HKEY root, key;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    std::string path = std::string(kProductKey) + "\\" + subkey;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != 0) return "(none)";
    std::string data(2000, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    return rc == 0 ? data.substr(0, size) : "(none)";
  }
  // Names each with its terminator, one more after the last.
  static std::string multi(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* name : names) out += std::string(name) + '\0';
    return out + '\0';
  }
  static std::string dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), sizeof v); }

  // Mail settings pointing at the test's server, an enabled schedule of the last two days with
  // the addresses given and the graphical definition "Users" of two charts and one that is none.
  void configure(int port, const std::string& emails) {
    EmailConfig c = {"MAILHOST", static_cast<DWORD>(port), kSmtpNoSecurity, "vornix@brightmere.local", ""};
    ASSERT_EQ(store_email_config("SRV01", c), 0u);
    set_value("Reports\\Graphs\\Disabled", "DisableFlag", REG_DWORD, dword(1));  // before Nightly in name order
    set_value("Reports\\Graphs\\Disabled", "Emails", REG_MULTI_SZ, multi({"never@brightmere.local"}));
    set_value(kSchedule, "DisableFlag", REG_DWORD, dword(0));
    set_value(kSchedule, "LastXDays", REG_DWORD, dword(2));
    set_value(kSchedule, "Emails", REG_MULTI_SZ, emails);
    set_value(kSchedule, "GReports", REG_MULTI_SZ, multi({"Users"}));
    const std::string charts = multi({"1400,4,0", "9,9,9", "1400,6,6"});
    const DWORD dates[3] = {};
    ASSERT_EQ(SaveGraphicalReport("SRV01", "Users", reinterpret_cast<const BYTE*>(charts.data()),
                                  static_cast<DWORD>(charts.size()), dates),
              0u);
  }

  // A file-system log of the given day with records at these times.
  void write_log(int day, const std::vector<uint32_t>& times) {
    support::LogWriter log;
    for (uint32_t t : times) {
      FileLogRecord r = support::sample_file_record(0xFF330001, t % 1000);
      r.event_time = t;
      log.add(r);
    }
    std::string path = folder_ + "/" + support::log_file_name("FS", "SRV01", 2026, 12, day);
    ASSERT_TRUE(log.save(path));
    struct utimbuf old = {1577836800, 1577836800};
    utime(path.c_str(), &old);
  }

  DWORD run() {
    return host::send_list_event(host::in_process_library(), lists_[kQuickListLogon], kUnattendedRunList);
  }
  std::string run_log() {
    CloseHandle(host::unattended_log_file());
    host::unattended_log_file() = nullptr;
    return support::read_whole_file(log_path_);
  }
  // Every run ends frozen and with the end-of-run request, whatever it did before.
  void expect_run_ended() {
    EXPECT_EQ(g_library.store_frozen, 1u);
    const std::vector<std::string> calls = host::service_calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "host_request code=8738 flag=0"), 1);
    EXPECT_TRUE(ui::journal().empty()) << "nothing is shown in an unattended run";
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  std::string folder_, log_path_;
  HWND servers_ = nullptr, screen_ = nullptr;
  HWND lists_[kQuickListCount] = {};
};

TEST_F(UnattendedRunTest, QuickAndGraphicalReportsMailedToEveryAddressThenTheRunEnds) {
  support::MailServer mail(world_, "MAILHOST");
  world_.open();
  configure(mail.port(), multi({"boss@brightmere.local", "audit@brightmere.local"}));
  write_log(4, {kDec3 + kDay + 10, kDec3 + kDay + 20, kDec3 - 5 * kDay});  // the last one before the window
  ui::clear_journal();
  EXPECT_EQ(run(), 1u);

  const std::string pid = std::to_string(GetCurrentProcessId());
  EXPECT_EQ(run_log(), "\r\nQRPT_SRV01(" + pid + ").CSV mailed to 2 recipients\r\n" +
                           "\r\nCCR_Users(" + pid + ").HTML mailed to 2 recipients\r\n");
  expect_run_ended();
  EXPECT_EQ(support::list_rows(lists_[kQuickListFileSystem]).size(), 2u);

  const std::vector<support::ReceivedMail> received = mail.messages();
  ASSERT_EQ(received.size(), 4u);
  std::vector<std::string> recipients;
  for (const support::ReceivedMail& m : received) {
    recipients.push_back(m.rcpt_to);
    EXPECT_EQ(m.mail_from, "vornix@brightmere.local");
    EXPECT_EQ(m.headers.at("Subject"), "VORNIX Graphical Activity Report");
    EXPECT_EQ(m.attachment_name, "") << "the report is the body";
  }
  EXPECT_EQ(recipients, (std::vector<std::string>{"boss@brightmere.local", "audit@brightmere.local",
                                                  "boss@brightmere.local", "audit@brightmere.local"}));
  // The quick report as the host writes its lists: each list's column titles, then its rows.
  const std::string& quick = received[0].body;
  EXPECT_EQ(quick, received[1].body);
  EXPECT_EQ(quick.rfind("Activity Type,Reporting Server,", 0), 0u) << ::testing::PrintToString(quick.substr(0, 60));
  EXPECT_EQ(std::count(quick.begin(), quick.end(), '\n'), 4 + 2) << "four title lines and two rows";
  // The graphical report: the two charts that the definition names, the odd entry passed over.
  const std::string& graphs = received[2].body;
  EXPECT_NE(graphs.find("for Users</title>"), std::string::npos);
  EXPECT_NE(graphs.find("Produced from activity logs stored on server SRV01"), std::string::npos);
  size_t images = 0;
  for (size_t at = graphs.find("<img src=\"data:image/png;base64, "); at != std::string::npos;
       at = graphs.find("<img src=\"data:image/png;base64, ", at + 1))
    ++images;
  EXPECT_EQ(images, 2u);
  EXPECT_EQ(value(kSchedule, "LastErr"), "(none)");
}

struct FailureCase {
  const char* name;
  void (*prepare)(UnattendedRunTest*, int port);
  const char* line;
  const char* last_error;  // the schedule's LastErr as stored, null when it has none
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class UnattendedRunFailure : public UnattendedRunTest, public ::testing::WithParamInterface<FailureCase> {};

const std::string kNoDestinations = "NO Destination Emails configured, aborting";

const FailureCase kFailures[] = {
    {"NoMailSettings", [](UnattendedRunTest*, int) {}, "Email not configured for server", nullptr},
    {"NoAddress", [](UnattendedRunTest* t, int port) { t->configure(port, UnattendedRunTest::multi({})); },
     kNoDestinations.c_str(), kNoDestinations.c_str()},
    {"NoEnabledSchedule",
     [](UnattendedRunTest* t, int port) {
       t->configure(port, UnattendedRunTest::multi({"boss@brightmere.local"}));
       UnattendedRunTest::set_value(kSchedule, "DisableFlag", REG_DWORD, UnattendedRunTest::dword(1));
     },
     kNoDestinations.c_str(), nullptr},
    {"NoLogInTheLastTwoDays",
     [](UnattendedRunTest* t, int port) {
       t->configure(port, UnattendedRunTest::multi({"boss@brightmere.local"}));
       t->write_log(3, {kDec3 + 10});
     },
     "No Activity found in Log Files for last 2 days", nullptr},
};

TEST_P(UnattendedRunFailure, LoggedAndNothingMailed) {
  support::MailServer mail(world_, "MAILHOST");
  world_.open();
  GetParam().prepare(this, mail.port());
  host::clear_service_calls();
  ui::clear_journal();
  EXPECT_EQ(run(), 1u);
  EXPECT_EQ(run_log(), std::string("\r\n") + GetParam().line + "\r\n");
  expect_run_ended();
  const char* last_error = GetParam().last_error;
  EXPECT_EQ(value(kSchedule, "LastErr"), last_error ? std::string(last_error, std::strlen(last_error) + 1) : "(none)");
  EXPECT_TRUE(mail.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, UnattendedRunFailure, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
