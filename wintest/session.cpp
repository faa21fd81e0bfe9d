#include "wintest/session.h"

#include "host/exports.h"
#include "host/host.h"
#include "wintest/checks.h"

namespace wintest {

std::string program_folder() {
  std::string program = host::library_beside_program();
  return program.substr(0, program.find_last_of('\\') + 1);
}

bool start_library(Session* session) {
  std::string error;
  if (!check(host::load_library(host::library_beside_program(), &session->library, &error),
             "QVMR0007.DLL loads with its exports", error))
    return false;
  DWORD identity[4];
  session->library.introduction_in(&identity[0], &identity[1], &identity[2], &identity[3]);
  session->table = host::make_service_table();
  if (!check(session->library.establish_tables(6, session->table.data()) == 1, "the library takes the table"))
    return false;
  host::insert_list_images(session->library);
  return true;
}

bool start_linked_library(const Session& session) {
  // Its dialogs and icons come from this program's resources.
  g_library.instance = GetModuleHandleA(nullptr);
  return check(establish_tables(6, session.table.data()) == 1, "the library's linked code takes the table");
}

}  // namespace wintest
