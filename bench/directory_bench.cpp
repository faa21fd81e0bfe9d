// A paged subtree search of 20,000 users into a host list, through the
// library's directory list (ADSI over LDAP, pages of 10,000), against
// ldapsearch of the same base and filter writing to /dev/null, both against
// the same slapd in the same run. The ratio (the list's throughput over
// ldapsearch's) is printed last.
//
//   ./build/default/directory_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ratio_reporter.h"
#include "console/substitute_host.h"
#include "directory/directory.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "sim/directory_server.h"
#include "sim/soak_world.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

constexpr int kUsers = 20000;
const std::string kBase = std::string("OU=Bulk,") + support::kDemoDomainDn;
HWND g_list;
std::string g_ldapsearch;

// The rows go back to the library, as a list that is cleared before the next search hands them back.
void clear_list() {
  int n = static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < n; ++row) delete_list_item(0, 0, reinterpret_cast<void*>(list_row_param(g_list, row)));
  SendMessageA(g_list, LVM_DELETEALLITEMS, 0, 0);
}

void directory_list(benchmark::State& state) {
  std::string path = "LDAP://" + kBase;
  for (auto _ : state) {
    DWORD rows = FillDirectoryList(g_list, kListUsers, path.c_str(), directory_kind_filter(kListUsers), 0, 0);
    if (rows != kUsers) {
      state.SkipWithError("the list did not get every user");
      return;
    }
    state.PauseTiming();
    clear_list();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kUsers);
}

void ldapsearch(benchmark::State& state) {
  for (auto _ : state)
    if (std::system(g_ldapsearch.c_str()) != 0) {
      state.SkipWithError("ldapsearch failed");
      return;
    }
  state.SetItemsProcessed(state.iterations() * kUsers);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder world;
  world.add_machine("SRV01", "127.0.0.2");
  support::DirectoryServer directory(world, "SRV01", support::bulk_users_ldif(kUsers));
  world.open();
  host::ServiceTable table = host::make_service_table();
  // The host's list keeps each row with its own copy of the record, as the host does.
  table[kHostInsertItem] = reinterpret_cast<uintptr_t>(&support::keep_soak_row);
  if (establish_tables(6, table.data()) != 1) return 1;
  HWND screen = host::create_screen(40, "Directory");
  g_list = host::add_control(screen, 100, WC_LISTVIEWA, "", host::ControlSpec{0x101400A3, kDescriptorListView});
  // The same base and filter, and the attributes the list asks the server for (it makes name and DN itself).
  g_ldapsearch = "ldapsearch -LLL -x -H " + directory.uri() + " -D '" + support::kDirectoryAdmin + "' -w " +
                 support::kDirectoryPassword + " -b '" + kBase + "' -s sub -E pr=10000/noprompt '" +
                 directory_kind_filter(kListUsers) + "' userAccountControl userPrincipalName > /dev/null";
  std::printf("directory: %d users below %s in slapd at %s\n", kUsers, kBase.c_str(), directory.uri().c_str());
  benchmark::RegisterBenchmark("ldapsearch", ldapsearch)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
  benchmark::RegisterBenchmark("directory_list", directory_list)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  clear_list();
  std::printf("directory list / ldapsearch throughput: %.2f\n", reporter.ratio("directory_list", "ldapsearch"));
  return 0;
}
