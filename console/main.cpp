// vornix-console: the substitute host console. It loads libqvmr7.so, offers
// the host services table and runs the console's jobs from the command line
// on a simulated Windows network.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "tests/support/world_builder.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kNavigationScreenKey = 1;
constexpr int kNavigationTreeItem = 100;

void print_usage() {
  std::printf(
      "usage: vornix-console COMMAND [ARGUMENTS]\n"
      "\n"
      "commands:\n"
      "  demo [DIR]   make a demo network (a console machine and two audited servers)\n"
      "               in DIR (a temporary folder when omitted), start the library on it\n"
      "               and print the navigation tree that the library builds\n"
      "  --help       show this text\n");
}

int fail(const std::string& message) {
  std::fprintf(stderr, "vornix-console: %s\n", message.c_str());
  return 1;
}

// Prints what the library showed the user, in plain words.
void print_journal() {
  for (const ui::JournalEntry& entry : ui::journal()) {
    std::string text = entry.text;
    for (char& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    std::printf("  [%s] %s: %s\n", entry.kind.c_str(), entry.title.c_str(), text.c_str());
  }
  ui::clear_journal();
}

bool start_library(host::Library* library, host::ServiceTable* table) {
  std::string error;
  if (!host::load_library(host::library_beside_program(), library, &error)) {
    fail(error);
    return false;
  }
  DWORD id[4];
  library->introduction_in(&id[0], &id[1], &id[2], &id[3]);
  *table = host::make_service_table();
  if (library->establish_tables(6, table->data()) != 1) {
    print_journal();
    fail("the library refused the host services table");
    host::unload_library(library);
    return false;
  }
  std::printf("Library QVMR0007.DLL started: module %u, identity %08X %08X %08X\n",
              static_cast<unsigned>(id[3]), static_cast<unsigned>(id[0]),
              static_cast<unsigned>(id[1]), static_cast<unsigned>(id[2]));
  return true;
}

void make_demo_world(const std::string& folder) {
  support::WorldBuilder world(folder);
  world.use_real_clock();
  world.add_machine("SRV01", "127.0.0.2", "Windows Server 2012 R2 Standard");
  world.add_machine("SRV02", "127.0.0.3", "Windows Server 2008 R2 Enterprise");
}

// The item most recently inserted as first child of parent (or as first root).
HTREEITEM first_child(HWND tree, HTREEITEM parent) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(
      tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
}

void print_tree(HWND tree, HTREEITEM item, int depth) {
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    char text[260] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    std::printf("  %*s%s\n", 2 * depth, "", text);
    print_tree(tree, first_child(tree, item), depth + 1);
  }
}

// Builds the navigation tree as the host does: one list event per node, each
// inserted by the library as the first child of the parent item passed along.
void build_navigation_tree(const host::Library& library, HWND tree) {
  auto node_event = [&](DWORD node, HTREEITEM parent) {
    host::send_list_event(library, tree, node, reinterpret_cast<uintptr_t>(parent ? parent : TVI_ROOT));
    return first_child(tree, parent);
  };
  HTREEITEM root = node_event(0x30247001, nullptr);
  // First children are inserted in front, so the host sends them last to first.
  HTREEITEM configuration = nullptr, reports = nullptr, profiles = nullptr, groups = nullptr;
  node_event(0x30247007, root);
  configuration = node_event(0x30247006, root);
  reports = node_event(0x30247005, root);
  profiles = node_event(0x30247004, root);
  groups = node_event(0x30247003, root);
  node_event(0x30247002, root);
  node_event(0x3024700B, groups);
  node_event(0x30247008, profiles);
  node_event(0x30247009, reports);
  node_event(0x3024700A, configuration);
}

int run_demo(const std::vector<std::string>& args) {
  bool temporary = args.empty();
  std::string folder = temporary ? (fs::temp_directory_path() / "vornix-demo").string() : args[0];
  std::error_code ec;
  if (temporary) fs::remove_all(folder, ec);
  if (!fs::exists(folder + "/world.ini", ec)) {
    if (fs::exists(folder, ec) && !fs::is_empty(folder, ec))
      return fail(folder + " is not empty and holds no demo network");
    make_demo_world(folder);
  }
  if (!world::open(folder)) return fail(folder + " is not a world folder (no world.ini)");
  std::printf("Demo network in %s: console %s", folder.c_str(), world::console_machine().c_str());
  for (const world::Machine* m : world::machines())
    if (m->name != world::console_machine())
      std::printf(", %s (%s)", m->name.c_str(), m->setting("machine", "ipv4").c_str());
  std::printf("\n");

  host::Library library;
  host::ServiceTable table;
  if (!start_library(&library, &table)) return 1;
  HWND screen = host::create_screen(kNavigationScreenKey, "Navigation");
  host::ControlSpec spec;
  spec.control_id = 0x30247001;
  spec.kind = kDescriptorList;
  HWND tree = host::add_control(screen, kNavigationTreeItem, WC_TREEVIEWA, "", spec);
  build_navigation_tree(library, tree);
  std::printf("Navigation tree:\n");
  print_tree(tree, first_child(tree, nullptr), 0);
  print_journal();
  host::unload_library(&library);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    print_usage();
    return args.empty() ? 2 : 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "demo") return run_demo(args);
  return fail("unknown command '" + command + "' (try vornix-console --help)");
}
