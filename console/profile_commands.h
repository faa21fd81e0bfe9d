// vornix-console's tracking profile commands, driven through the loaded
// library's exports as the host console drives its profile screens: the
// server list and the profile list filled by list events, the profile's
// description read from the screens' display fields, the buttons pressed,
// the menus chosen and every dialog answered by the scripted user.
//
//   profiles --server NAME
//   profile create NAME --type KEYWORD --server NAME
//   profile enable|disable|delete NAME --server NAME
//   profile-settings --server NAME --profile NAME [settings to change]
//   profile-list kerberos|logon-names|excluded|alert-emails --server NAME [--profile NAME]
//                [--add TEXT]... [--remove TEXT]... [--available]
//   gpo-baseline --server NAME --profile NAME [--path SHARE_PATH]
#pragma once
#include <string>
#include <vector>

namespace console {

// Each runs on the world already opened; args hold the command's words and options. The exit code.
int profiles_command(std::vector<std::string> args);
int profile_command(std::vector<std::string> args);
int profile_settings_command(std::vector<std::string> args);
int profile_list_command(std::vector<std::string> args);
int gpo_baseline_command(std::vector<std::string> args);

}  // namespace console
