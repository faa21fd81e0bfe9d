// A real directory for the world's domain: slapd, run from a folder of its
// own (never the system's configuration) with a schema that carries what a
// domain controller's has (attributeSchema and classSchema entries with
// ldapDisplayName, attributeSyntax and isSingleValued; objectCategory as the
// short name; memberOf kept by the memberof overlay; the root entry's naming
// contexts) and a small domain: OUs, users, groups, a contact, group policy
// containers and the agents' service connection points.
//
//   support::DirectoryServer directory(world);  // SRV01 is the domain controller
//   world.open();                               // world.ini now names the directory
//   directory.search("OU=Sales," + directory.base(), "sub", "(objectClass=user)", {"cn"});
//
// Tests run slapd in the foreground with its operations logged (base, scope,
// filter of every search; every modification); the console's demo leaves it
// running in the background for later commands and for ldapsearch.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "sim/world_builder.h"

namespace support {

constexpr const char* kDemoDnsDomain = "brightmere.local";
constexpr const char* kDemoDomainDn = "DC=brightmere,DC=local";
// The console user's entry and its password (the logon session), and a user who may only read
// (and add telephone numbers to otherTelephone, but never remove one).
constexpr const char* kDirectoryAdmin = "CN=Administrator,CN=Users,DC=brightmere,DC=local";
constexpr const char* kDirectoryReader = "CN=Jane Reader,CN=Users,DC=brightmere,DC=local";
constexpr const char* kDirectoryPassword = "Vornix-2026";

class DirectoryServer {
 public:
  // Writes the directory into the controller's folder of the world, names it
  // in world.ini (the world must be opened again to see it) and starts slapd
  // on the controller's address at a free port. extra_ldif is loaded with the
  // demo domain (entries below kDemoDomainDn).
  explicit DirectoryServer(WorldBuilder& world, const std::string& controller = "SRV01",
                           const std::string& extra_ldif = "");
  DirectoryServer(const DirectoryServer&) = delete;
  DirectoryServer& operator=(const DirectoryServer&) = delete;
  ~DirectoryServer();  // stops slapd

  std::string uri() const;
  std::string base() const { return kDemoDomainDn; }
  // Stops slapd: the directory's server is then down, as a controller that does not answer.
  void stop();

  // ldapsearch as the administrator, LDIF without wrapping and without comments;
  // scope "base", "one" or "sub". Entries in the order the server returns them.
  std::string search(const std::string& base, const std::string& scope, const std::string& filter,
                     const std::vector<std::string>& attributes) const;
  // The values of one attribute of one entry, as ldapsearch shows them.
  std::vector<std::string> values(const std::string& dn, const std::string& attribute) const;
  // ldapmodify as the administrator; its exit status.
  int modify(const std::string& ldif) const;

  // What slapd logged since the start or the last forget_log(): one line per
  // search, "base=... scope=N filter=...", with the base as slapd normalised
  // it (attribute types in lower case).
  std::vector<std::string> logged_searches() const;
  // One line per modification: "MOD dn=..." followed by " attr=..." for each attribute.
  std::vector<std::string> logged_modifications() const;
  void forget_log();

 private:
  std::string folder_;
  std::string address_;
  int port_ = 0;
  pid_t pid_ = -1;
  size_t log_start_ = 0;
};

// The console's demo: the same directory written into the world for its
// controller (machines/<controller>/directory) and named in world.ini.
void add_demo_directory(WorldBuilder& world, const std::string& controller);
// Starts the world's directory in the background when it is written there and
// not running yet (slapd.pid); true when it answers. A world without one: true.
bool start_world_directory(const std::string& world_folder, std::string* reason);

// LDIF of n users below "OU=Bulk,DC=brightmere,DC=local" (the OU included), for the benchmark.
std::string bulk_users_ldif(int n);

}  // namespace support
