// vornix-console settings and setting: a server's configuration values, run by
// the library's code in-process.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace console {

// Every setting of the server as the configuration screens show it, then its lists.
int settings_command(const std::string& server);
// get NAME|0xID, or set NAME|0xID VALUE (names as the registry spells them).
int setting_command(std::vector<std::string> args, const std::string& server);
// A field applied to the servers as the host's edit applies it when the user leaves the field: the
// servers are selected in the console's server list, the first is the one the field names.
int set_field_command(const std::vector<std::string>& servers, uint32_t field, const std::string& value);

}  // namespace console
