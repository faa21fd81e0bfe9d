#include "sim/sql_server.h"

#include <cstdlib>

namespace support {

std::string odbc_registration_folder(OdbcRegistration registration) {
  const char* folder = registration == OdbcRegistration::kProjectDriver ? "/project"
                       : registration == OdbcRegistration::kFreeTds     ? "/freetds"
                                                                         : "/none";
  return std::string(QVMR7_ODBC_REGISTRATIONS) + folder;
}

void use_project_sql_driver() {
  const char* named = std::getenv("ODBCSYSINI");
  if (named == nullptr || *named == '\0')
    setenv("ODBCSYSINI", odbc_registration_folder(OdbcRegistration::kProjectDriver).c_str(), 1);
}

void add_sql_server(WorldBuilder& world, const std::string& name, const std::string& ipv4,
                    const SqlServerState& state) {
  world.add_machine(name, ipv4, "Windows Server 2012 R2 Standard");
  world.set_machine_setting(name, "sqlserver", "running", "yes");
  write_sql_state(world.machine_dir(name), state);
}

}  // namespace support
