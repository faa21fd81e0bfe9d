// Start-up: the host refuses an incomplete library with its own message; the
// library answers 4078 until it has taken a table of interface version 6,
// refuses any other with its message, then claims only its own events.
#include <cstdio>

#include "host/control_descriptor.h"
#include "console/list_view.h"
#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr uint16_t kScreenKey = 21;
constexpr uint32_t kUnclaimedButton = 0x60410FFF;
constexpr uint32_t kUnclaimedList = 0x6024FFFF;
constexpr uint32_t kUnclaimedText = 0x60420FFF;
constexpr uint32_t kReportingServerText = 0x60420801;
constexpr uint32_t kNoText = 0x3333EEEE;
constexpr uint32_t kConsoleNode = 0x30247001;
constexpr uint32_t kProfilesNode = 0x30247004;
constexpr uint32_t kReportsNode = 0x30247005;

struct Probes {
  HWND screen;
  HWND button;
  HWND list;
};

// What each dispatching and store export answers, in one line each.
std::vector<std::string> answers(const Session& s, const Probes& p, DWORD text_module = 7,
                                 DWORD text_id = kReportingServerText) {
  const host::Library& l = s.library;
  char text[2048] = "";
  LONG value = 0;
  DWORD button = l.entry_point_button_services(p.screen, 0, host::descriptor_of(p.button));
  DWORD list = host::send_list_event(l, p.list, kUnclaimedList);
  DWORD cell = l.entry_point_text_services(p.screen, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, text_id, text_module);
  auto alloc = export_of<DWORD_PTR(WINAPI*)()>(l, "alloc_memory_for_list");
  auto release = export_of<DWORD(WINAPI*)(uintptr_t, uintptr_t, void*)>(l, "delete_list_item");
  DWORD_PTR record = alloc();
  std::vector<std::string> out = {"button " + std::to_string(button), "list " + std::to_string(list),
                                  "text " + std::to_string(cell)};
  out.push_back(record == 4078 ? "alloc 4078" : "alloc a record");
  if (record != 4078) release(0, 0, reinterpret_cast<void*>(record));
  out.push_back("abort_searches " + std::to_string(export_of<DWORD(WINAPI*)()>(l, "abort_searches")()));
  out.push_back("QVA_is_valid_to_add " + std::to_string(export_of<DWORD(WINAPI*)()>(l, "QVA_is_valid_to_add")()));
  return out;
}

// "text image" of the tree's items, children indented below their parent.
std::vector<std::string> tree_lines(HWND tree, HTREEITEM parent = nullptr, const std::string& indent = "") {
  std::vector<std::string> out;
  for (const support::TreeRow& row : support::tree_rows(tree, parent)) {
    out.push_back(indent + row.text + " " + std::to_string(row.image));
    std::vector<std::string> below = tree_lines(tree, row.item, indent + "  ");
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

// Navigation nodes: each event inserts its node as the first child of the item the host passes.
void navigation_nodes(const Session& s, HWND screen) {
  HWND tree = host::add_control(screen, 12, WC_TREEVIEWA, "", host::ControlSpec{kConsoleNode, kDescriptorList});
  std::vector<std::string> answers = {std::to_string(host::send_list_event(s.library, tree, kConsoleNode))};
  auto root = reinterpret_cast<uintptr_t>(support::tree_rows(tree).at(0).item);
  for (uint32_t node : {kProfilesNode, kReportsNode})
    answers.push_back(std::to_string(host::send_list_event(s.library, tree, node, root)));
  check_equal({"4061", "4061", "4061"}, answers, "navigation nodes leave the event to the host");
  check_equal({"VORNIX for Windows 22", "  Reports 29", "  Profiles 38"}, tree_lines(tree),
              "each node is inserted first below its parent, with its label and image");
}

const std::vector<std::string> kRefused = {"button 4078", "list 4078", "text 4078", "alloc 4078", "abort_searches 0",
                                           "QVA_is_valid_to_add 1"};

}  // namespace

void start_up_case(Session* s) {
  begin_case("start-up");
  host::Library library;
  std::string error;
  check(!host::load_library(program_folder() + "incomplete\\QVMR0007.DLL", &library, &error) &&
            error == "the library has no export entry_point_wm_draw_item",
        "a library without one of its exports is refused by name", error);
  std::string absent = program_folder() + "absent\\QVMR0007.DLL";
  check(!host::load_library(absent, &library, &error), "a library that is not there is refused");
  check_equal("cannot load the library " + absent + " (Windows error 126)", error, "and says why");

  if (!check(host::load_library(host::library_beside_program(), &s->library, &error), "QVMR0007.DLL loads", error))
    return;
  DWORD identity[4] = {};
  check_equal(1, s->library.introduction_in(&identity[0], &identity[1], &identity[2], &identity[3]),
              "introduction_in before the table");
  char shown[64];
  std::snprintf(shown, sizeof shown, "%08lX %08lX %08lX %lu", identity[0], identity[1], identity[2], identity[3]);
  check_equal("A3310000 00006999 03112189 7", shown, "its identity and module number");

  Probes p;
  p.screen = host::create_screen(kScreenKey, "Start-up");
  p.button = host::add_control(p.screen, 10, "Button", "", host::ControlSpec{kUnclaimedButton, kDescriptorPushButton});
  p.list = host::add_control(p.screen, 11, WC_LISTVIEWA, "", host::ControlSpec{kUnclaimedList, kDescriptorListView});
  check_equal(kRefused, answers(*s, p), "before the table every export but two answers 4078");

  s->table = host::make_service_table();
  clear_journal();
  check_equal(0, s->library.establish_tables(5, s->table.data()), "interface version 5 is refused");
  check_equal(0, s->library.establish_tables(6, nullptr), "no table is refused");
  const std::string mismatch = "VORNIX message from QVMR0007.DLL | UNABLE TO LOAD DLL\n\nVERSION MISMATCH WITH RARODO BASE";
  check_equal({mismatch, mismatch}, take_journal(), "each refusal shows the version message");
  check_equal(kRefused, answers(*s, p), "and the library stays uninitialised");

  host::clear_service_calls();
  if (!check_equal(1, s->library.establish_tables(6, s->table.data()), "version 6 with a table is taken")) return;
  std::vector<std::string> calls = host::service_calls();
  check(!calls.empty() && calls[0] == "host_request code=21845 flag=5", "start-up asks the host for its memory pair");
  HIMAGELIST images = host::insert_list_images(s->library);
  check_equal(126, static_cast<unsigned long long>(ImageList_GetImageCount(images)),
              "the 126 list icons load from the library's resources into the host's image list");

  // Once started: events it does not claim go back to the host.
  std::vector<std::string> started = {"button 4061", "list 4061", "text 4061", "alloc a record", "abort_searches 0",
                                      "QVA_is_valid_to_add 1"};
  check_equal(started, answers(*s, p, 7, kUnclaimedText), "unclaimed identifiers answer 4061");
  check_equal(started, answers(*s, p, 8), "a text event of another module answers 4061");
  started[2] = "text 0";
  check_equal(started, answers(*s, p, 7, kNoText), "the text identifier that asks for nothing answers 0");
  navigation_nodes(*s, p.screen);
  check_equal(std::vector<std::string>{}, take_journal(), "nothing was shown once started");
}

}  // namespace wintest
