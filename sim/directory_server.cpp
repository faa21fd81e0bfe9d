#include "sim/directory_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "sim/demo_activity.h"
#include "sim/loopback_ports.h"
#include "sim/program_runner.h"

namespace fs = std::filesystem;

namespace support {
namespace {

// ---- The schema: slapd's attribute types and the domain's attributeSchema entries ----

// How slapd stores an attribute.
enum Storage { kText, kInteger, kBoolean, kOid, kDn, kOctets, kTime, kIa5 };

struct Attribute {
  const char* name;
  const char* oid;     // null: slapd has it built in (cn, name, description, ...)
  Storage storage;
  const char* syntax;  // attributeSyntax as the domain's schema gives it
  bool single;
};

constexpr Attribute kAttributes[] = {
    {"cn", nullptr, kText, "2.5.5.12", true},
    {"name", nullptr, kText, "2.5.5.12", true},
    {"distinguishedName", nullptr, kDn, "2.5.5.1", true},
    {"description", nullptr, kText, "2.5.5.12", false},
    {"objectClass", nullptr, kOid, "2.5.5.2", false},
    {"memberOf", nullptr, kDn, "2.5.5.1", false},
    {"sn", "2.5.4.4", kText, "2.5.5.12", true},
    {"ou", "2.5.4.11", kText, "2.5.5.12", false},
    {"dc", "0.9.2342.19200300.100.1.25", kIa5, "2.5.5.12", true},
    {"member", "2.5.4.31", kDn, "2.5.5.1", false},
    {"title", "2.5.4.12", kText, "2.5.5.12", true},
    {"telephoneNumber", "2.5.4.20", kText, "2.5.5.12", true},
    {"objectCategory", "1.3.6.1.4.1.61234.1.1", kText, "2.5.5.1", true},
    {"ldapDisplayName", "1.3.6.1.4.1.61234.1.2", kText, "2.5.5.12", true},
    {"attributeSyntax", "1.3.6.1.4.1.61234.1.3", kOid, "2.5.5.2", true},
    {"isSingleValued", "1.3.6.1.4.1.61234.1.4", kBoolean, "2.5.5.8", true},
    {"systemFlags", "1.3.6.1.4.1.61234.1.5", kInteger, "2.5.5.9", true},
    {"sAMAccountName", "1.3.6.1.4.1.61234.1.6", kText, "2.5.5.12", true},
    {"sAMAccountType", "1.3.6.1.4.1.61234.1.7", kInteger, "2.5.5.9", true},
    {"userAccountControl", "1.3.6.1.4.1.61234.1.8", kInteger, "2.5.5.9", true},
    {"groupType", "1.3.6.1.4.1.61234.1.9", kInteger, "2.5.5.9", true},
    {"userPrincipalName", "1.3.6.1.4.1.61234.1.10", kText, "2.5.5.12", true},
    {"displayName", "1.3.6.1.4.1.61234.1.11", kText, "2.5.5.12", true},
    {"gPCFileSysPath", "1.3.6.1.4.1.61234.1.12", kText, "2.5.5.12", true},
    {"mail", "1.3.6.1.4.1.61234.1.13", kText, "2.5.5.12", true},
    {"department", "1.3.6.1.4.1.61234.1.14", kText, "2.5.5.12", true},
    {"otherTelephone", "1.3.6.1.4.1.61234.1.15", kText, "2.5.5.12", false},
    {"info", "1.3.6.1.4.1.61234.1.16", kText, "2.5.5.12", true},
    {"keywords", "1.3.6.1.4.1.61234.1.17", kText, "2.5.5.12", false},
    {"url", "1.3.6.1.4.1.61234.1.18", kText, "2.5.5.12", false},
    {"usnCreated", "1.3.6.1.4.1.61234.1.19", kInteger, "2.5.5.16", true},
    {"lockoutTime", "1.3.6.1.4.1.61234.1.20", kInteger, "2.5.5.16", true},
    {"pwdLastSet", "1.3.6.1.4.1.61234.1.21", kInteger, "2.5.5.16", true},
    {"accountExpires", "1.3.6.1.4.1.61234.1.22", kInteger, "2.5.5.16", true},
    {"lastLogon", "1.3.6.1.4.1.61234.1.23", kInteger, "2.5.5.16", true},
    {"logonHours", "1.3.6.1.4.1.61234.1.24", kOctets, "2.5.5.10", true},
    {"objectGUID", "1.3.6.1.4.1.61234.1.25", kOctets, "2.5.5.10", true},
    {"objectSid", "1.3.6.1.4.1.61234.1.26", kOctets, "2.5.5.17", true},
    {"whenCreated", "1.3.6.1.4.1.61234.1.27", kTime, "2.5.5.11", true},
    {"manager", "1.3.6.1.4.1.61234.1.28", kDn, "2.5.5.1", true},
    {"nTSecurityDescriptor", "1.3.6.1.4.1.61234.1.29", kOctets, "2.5.5.15", true},
    {"userParameters", "1.3.6.1.4.1.61234.1.30", kText, "2.5.5.12", true},
    {"lockoutThreshold", "1.3.6.1.4.1.61234.1.31", kInteger, "2.5.5.9", true},
    {"maxPwdAge", "1.3.6.1.4.1.61234.1.32", kInteger, "2.5.5.16", true},
    {"homeDirectory", "1.3.6.1.4.1.61234.1.33", kText, "2.5.5.12", true},
    {"scriptPath", "1.3.6.1.4.1.61234.1.34", kText, "2.5.5.12", true},
    {"dnsHostName", "1.3.6.1.4.1.61234.1.35", kText, "2.5.5.12", true},
    {"defaultNamingContext", "1.3.6.1.4.1.61234.1.36", kDn, "2.5.5.1", true},
    {"schemaNamingContext", "1.3.6.1.4.1.61234.1.37", kDn, "2.5.5.1", true},
    {"configurationNamingContext", "1.3.6.1.4.1.61234.1.38", kDn, "2.5.5.1", true},
    {"rootDomainNamingContext", "1.3.6.1.4.1.61234.1.39", kDn, "2.5.5.1", true},
};

const char* storage_rules(Storage s) {
  switch (s) {
    case kText: return "EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15";
    case kInteger: return "EQUALITY integerMatch ORDERING integerOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.27";
    case kBoolean: return "EQUALITY booleanMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.7";
    case kOid: return "EQUALITY objectIdentifierMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.38";
    case kDn: return "EQUALITY distinguishedNameMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.12";
    case kOctets: return "EQUALITY octetStringMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.40";
    case kTime:
      return "EQUALITY generalizedTimeMatch ORDERING generalizedTimeOrderingMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.24";
    case kIa5: return "EQUALITY caseIgnoreIA5Match SUBSTR caseIgnoreIA5SubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.26";
  }
  return "";
}

constexpr const char* kCommon = "objectCategory $ description $ displayName $ usnCreated $ objectGUID $ whenCreated $ "
                                "info $ nTSecurityDescriptor";
constexpr const char* kPersonal = "sAMAccountName $ sAMAccountType $ userAccountControl $ userPrincipalName $ mail $ "
                                  "title $ department $ telephoneNumber $ otherTelephone $ manager $ lockoutTime $ "
                                  "pwdLastSet $ accountExpires $ lastLogon $ logonHours $ objectSid $ userParameters $ "
                                  "homeDirectory $ scriptPath";

struct ObjectClass {
  const char* name;
  const char* definition;  // after NAME, with %s for the common attributes
};

std::string schema_text() {
  std::string out;
  for (const Attribute& a : kAttributes) {
    if (a.oid == nullptr) continue;
    out += std::string("attributetype ( ") + a.oid + " NAME '" + a.name + "' " + storage_rules(a.storage) +
           (a.single ? " SINGLE-VALUE" : "") + " )\n";
  }
  const std::string common = kCommon;
  const std::string personal = kPersonal;
  const std::string classes[] = {
      "( 1.3.6.1.4.1.61234.2.1 NAME 'domainDNS' SUP top STRUCTURAL MUST dc MAY ( lockoutThreshold $ maxPwdAge $ " +
          common + " ) )",
      "( 1.3.6.1.4.1.61234.2.2 NAME 'container' SUP top STRUCTURAL MUST cn MAY ( " + common + " ) )",
      "( 1.3.6.1.4.1.61234.2.3 NAME 'organizationalUnit' SUP top STRUCTURAL MUST ou MAY ( " + common + " ) )",
      "( 1.3.6.1.4.1.61234.2.4 NAME 'person' SUP top STRUCTURAL MUST cn MAY ( sn $ userPassword $ " + personal +
          " $ " + common + " ) )",
      "( 1.3.6.1.4.1.61234.2.5 NAME 'organizationalPerson' SUP person STRUCTURAL )",
      "( 1.3.6.1.4.1.61234.2.6 NAME 'user' SUP organizationalPerson STRUCTURAL )",
      "( 1.3.6.1.4.1.61234.2.7 NAME 'computer' SUP user STRUCTURAL MAY dnsHostName )",
      "( 1.3.6.1.4.1.61234.2.8 NAME 'contact' SUP organizationalPerson STRUCTURAL )",
      "( 1.3.6.1.4.1.61234.2.9 NAME 'group' SUP top STRUCTURAL MUST cn MAY ( member $ sAMAccountName $ "
      "sAMAccountType $ groupType $ mail $ " + common + " ) )",
      "( 2.5.6.9 NAME 'groupOfNames' SUP top STRUCTURAL MUST cn MAY member )",
      "( 1.3.6.1.4.1.61234.2.10 NAME 'groupPolicyContainer' SUP container STRUCTURAL MAY gPCFileSysPath )",
      "( 1.3.6.1.4.1.61234.2.11 NAME 'serviceConnectionPoint' SUP top STRUCTURAL MUST cn MAY ( keywords $ url $ " +
          common + " ) )",
      "( 1.3.6.1.4.1.61234.2.12 NAME 'attributeSchema' SUP top STRUCTURAL MUST cn MAY ( ldapDisplayName $ "
      "attributeSyntax $ isSingleValued $ systemFlags $ " + common + " ) )",
      "( 1.3.6.1.4.1.61234.2.13 NAME 'classSchema' SUP top STRUCTURAL MUST cn MAY ( ldapDisplayName $ systemFlags $ " +
          common + " ) )",
      "( 1.3.6.1.4.1.61234.2.14 NAME 'rootDSEExtra' SUP top AUXILIARY MAY ( defaultNamingContext $ "
      "schemaNamingContext $ configurationNamingContext $ rootDomainNamingContext $ dnsHostName ) )",
  };
  for (const std::string& c : classes) out += "objectclass " + c + "\n";
  return out;
}

constexpr const char* kClassNames[] = {"top", "domainDNS", "container", "organizationalUnit", "person",
                                       "organizationalPerson", "user", "computer", "contact", "group",
                                       "groupPolicyContainer", "serviceConnectionPoint", "attributeSchema",
                                       "classSchema"};

// ---- The domain ---------------------------------------------------------------

// Runs a program with its arguments quoted for the shell.
ProgramRun run(const std::vector<std::string>& argv) {
  std::string arguments;
  for (size_t i = 1; i < argv.size(); ++i) {
    std::string quoted = "'";
    for (char c : argv[i]) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    arguments += (i > 1 ? " " : "") + quoted + "'";
  }
  return run_program(argv[0], arguments);
}

struct Ldif {
  std::string text;
  int usn = 12000;
  // An entry; more_lines ("name: value\n" each) for attributes with several values.
  void entry(const std::string& dn, std::initializer_list<std::pair<const char*, std::string>> values,
             const std::string& more_lines = "") {
    text += "dn: " + dn + "\n";
    for (const auto& [name, value] : values) text += std::string(name) + ": " + value + "\n";
    text += more_lines + "usnCreated: " + std::to_string(++usn) + "\n\n";
  }
};

std::string schema_dn() { return std::string("CN=Schema,CN=Configuration,") + kDemoDomainDn; }

void add_schema_entries(Ldif& l) {
  l.entry(std::string("CN=Configuration,") + kDemoDomainDn,
          {{"objectClass", "container"}, {"cn", "Configuration"}, {"objectCategory", "container"}});
  l.entry(schema_dn(), {{"objectClass", "container"}, {"cn", "Schema"}, {"objectCategory", "container"}});
  for (const Attribute& a : kAttributes)
    l.entry(std::string("CN=") + a.name + "," + schema_dn(),
            {{"objectClass", "attributeSchema"}, {"cn", a.name}, {"ldapDisplayName", a.name},
             {"attributeSyntax", a.syntax}, {"isSingleValued", a.single ? "TRUE" : "FALSE"},
             {"systemFlags", "16"}, {"objectCategory", "attributeSchema"}});
  for (const char* c : kClassNames)
    l.entry(std::string("CN=") + c + "," + schema_dn(),
            {{"objectClass", "classSchema"}, {"cn", c}, {"ldapDisplayName", c}, {"systemFlags", "16"},
             {"objectCategory", "classSchema"}});
}

std::string domain_ldif(const std::string& controller) {
  const std::string base = kDemoDomainDn;
  Ldif l;
  l.entry(base, {{"objectClass", "domainDNS"}, {"dc", "brightmere"}, {"objectCategory", "domainDNS"},
                 {"lockoutThreshold", "5"}, {"maxPwdAge", "-36288000000000"}});
  add_schema_entries(l);
  auto container = [&](const std::string& dn, const char* cn) {
    l.entry(dn, {{"objectClass", "container"}, {"cn", cn}, {"objectCategory", "container"}});
  };
  auto unit = [&](const std::string& ou) {
    l.entry("OU=" + ou + "," + base,
            {{"objectClass", "organizationalUnit"}, {"ou", ou}, {"objectCategory", "organizationalUnit"}});
  };
  auto user = [&](const std::string& dn, const std::string& cn, const std::string& sam, const char* control,
                  const std::string& member_of) {
    l.entry(dn, {{"objectClass", "user"}, {"cn", cn}, {"sn", cn.substr(cn.rfind(' ') + 1)},
                 {"sAMAccountName", sam}, {"sAMAccountType", "805306368"}, {"userAccountControl", control},
                 {"userPrincipalName", sam + "@" + kDemoDnsDomain}, {"objectCategory", "person"},
                 {"displayName", cn}, {"userPassword", kDirectoryPassword}, {"pwdLastSet", "134090000000000000"},
                 {"accountExpires", "9223372036854775807"}},
            member_of);
  };
  container("CN=Users," + base, "Users");
  container("CN=Computers," + base, "Computers");
  container("CN=System," + base, "System");
  container("CN=Policies,CN=System," + base, "Policies");
  for (const char* ou : {"Domain Controllers", "Groups"}) unit(ou);
  // The demo activity's people, each in the OU it names, and the administrators.
  std::vector<std::string> units;
  for (const DemoAccount& a : demo_accounts())
    if (std::find(units.begin(), units.end(), a.ou) == units.end()) units.push_back(a.ou);
  for (const std::string& ou : units) unit(ou);

  const std::string admin = kDirectoryAdmin, reader = kDirectoryReader;
  const std::string admins = "CN=Domain Admins,OU=Groups," + base;
  std::vector<std::string> people;
  for (const DemoAccount& a : demo_accounts()) people.push_back(std::string("CN=") + a.name + ",OU=" + a.ou + "," + base);

  user(admin, "Administrator", "Administrator", "66048", "memberOf: " + admins + "\n");
  user(reader, "Jane Reader", "jreader", "512", "");
  // Every demo person belongs to every demo group except Domain Admins.
  std::string member_of;
  for (const std::string& g : demo_groups())
    if (g != "Domain Admins") member_of += "memberOf: CN=" + g + ",OU=Groups," + base + "\n";
  for (const DemoAccount& a : demo_accounts())
    user(std::string("CN=") + a.name + ",OU=" + a.ou + "," + base, a.name, a.sam, "512", member_of);
  // A night-shift account whose name holds a slash, as some directories have.
  user("CN=Ops/Night Shift,OU=Sales," + base, "Ops/Night Shift", "opsnight", "512", "");
  l.entry("CN=Eve External,OU=Sales," + base,
          {{"objectClass", "contact"}, {"cn", "Eve External"}, {"sn", "External"}, {"objectCategory", "person"},
           {"mail", "eve@harwick.example"}, {"displayName", "Eve External"}});
  for (const std::string& g : demo_groups()) {
    std::string dn = "CN=" + g + ",OU=Groups," + base;
    std::string members;
    if (g == "Domain Admins") members = "member: " + admin + "\n";
    else
      for (const std::string& p : people) members += "member: " + p + "\n";
    l.entry(dn,
            {{"objectClass", "group"}, {"cn", g}, {"sAMAccountName", g}, {"sAMAccountType", "268435456"},
             {"groupType", "-2147483646"}, {"objectCategory", "group"}},
            members);
  }
  // The group policies whose files the controller's SYSVOL holds.
  const char* policies[][2] = {{"{31B2F340-016D-11D2-945F-00C04FB984F9}", "Default Domain Policy"},
                               {"{6AC1786C-016F-11D2-945F-00C04FB984F9}", "Default Domain Controllers Policy"},
                               {"{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}", "Workstation Lockdown"}};
  for (const auto& p : policies)
    l.entry(std::string("CN=") + p[0] + ",CN=Policies,CN=System," + base,
            {{"objectClass", "groupPolicyContainer"}, {"cn", p[0]}, {"displayName", p[1]},
             {"gPCFileSysPath", std::string("\\\\") + kDemoDnsDomain + "\\SysVol\\" + kDemoDnsDomain +
                                    "\\Policies\\" + p[0]},
             {"objectCategory", "groupPolicyContainer"}});
  // The servers and their agents' service connection points.
  const std::string controllers = "OU=Domain Controllers," + base;
  struct Server {
    std::string name, parent, type;
  } servers[] = {{controller, controllers, "4"}, {"SRV02", "CN=Computers," + base, "2"}};
  for (const Server& s : servers) {
    if (s.name == "SRV02" && controller == "SRV02") continue;
    std::string dn = "CN=" + s.name + "," + s.parent;
    l.entry(dn, {{"objectClass", "computer"}, {"cn", s.name}, {"sAMAccountName", s.name + "$"},
                 {"sAMAccountType", "805306369"}, {"userAccountControl", "4096"}, {"objectCategory", "computer"},
                 {"dnsHostName", s.name + "." + kDemoDnsDomain}});
    l.entry("CN=VORNIXW," + dn,
            {{"objectClass", "serviceConnectionPoint"}, {"cn", "VORNIXW"}, {"url", "VNXLL=LogonsEvery=15"},
             {"objectCategory", "serviceConnectionPoint"}},
            "keywords: VORNIXW\nkeywords: VNXLLType=" + s.type + "\n");
  }
  return l.text;
}

std::string config_text(const std::string& folder) {
  const std::string admin = kDirectoryAdmin, reader = kDirectoryReader;
  return "include " + folder + "/ad.schema\n"
         "modulepath /usr/lib/ldap\n"
         "moduleload back_mdb\n"
         "moduleload memberof\n"
         "pidfile " + folder + "/slapd.pid\n"
         "argsfile " + folder + "/slapd.args\n"
         "sizelimit unlimited\n"
         "rootDSE " + folder + "/rootdse.ldif\n"
         "database mdb\n"
         "suffix \"" + kDemoDomainDn + "\"\n"
         "rootdn \"CN=Directory Manager," + kDemoDomainDn + "\"\n"
         "directory " + folder + "/data\n"
         "maxsize 1073741824\n"
         "index objectClass eq\n"
         "index objectCategory eq\n"
         "limits * size=unlimited size.pr=unlimited size.prtotal=unlimited\n"
         "overlay memberof\n"
         "memberof-group-oc group\n"
         "memberof-member-ad member\n"
         "memberof-memberof-ad memberOf\n"
         "memberof-refint TRUE\n"
         "access to dn.base=\"\" by * read\n"
         "access to dn.base=\"cn=Subschema\" by * read\n"
         "access to attrs=userPassword by self write by anonymous auth by * none\n"
         "access to attrs=otherTelephone by dn.exact=\"" + admin + "\" write by dn.exact=\"" + reader +
         "\" =rscda by users read by * none\n"
         "access to * by dn.exact=\"" + admin + "\" write by users read by * none\n";
}

std::string rootdse_text(const std::string& controller) {
  const std::string base = kDemoDomainDn;
  return "dn:\nobjectClass: rootDSEExtra\n"
         "defaultNamingContext: " + base + "\n"
         "rootDomainNamingContext: " + base + "\n"
         "configurationNamingContext: CN=Configuration," + base + "\n"
         "schemaNamingContext: " + schema_dn() + "\n"
         "dnsHostName: " + controller + "." + kDemoDnsDomain + "\n";
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Waits (real time) until the server takes connections; false after 20 seconds.
bool wait_until_answering(const std::string& address, int port) {
  for (int i = 0; i < 1000; ++i) {
    if (port_answers(address, port)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Writes the folder: schema, configuration, root entry, the domain loaded into its database.
void write_directory(const std::string& folder, const std::string& controller, const std::string& extra_ldif) {
  fs::create_directories(folder + "/data");
  write_file(folder + "/ad.schema", schema_text());
  write_file(folder + "/slapd.conf", config_text(folder));
  write_file(folder + "/rootdse.ldif", rootdse_text(controller));
  write_file(folder + "/domain.ldif", domain_ldif(controller) + extra_ldif);
  ProgramRun r = run({"slapadd", "-q", "-f", folder + "/slapd.conf", "-l", folder + "/domain.ldif"});
  if (r.exit_code != 0) throw std::runtime_error("slapadd failed: " + r.output);
}

void name_directory(WorldBuilder& world, const std::string& controller, int port) {
  world.set_world_setting("directory", "domain", kDemoDnsDomain);
  world.set_world_setting("directory", "controller", controller);
  world.set_world_setting("directory", "port", std::to_string(port));
  world.set_world_setting("directory", "user", kDirectoryAdmin);
  world.set_world_setting("directory", "password", kDirectoryPassword);
}

std::string machine_address(const WorldBuilder& world, const std::string& controller) {
  return world::read_ini(world.machine_dir(controller) + "/machine.ini")["machine"]["ipv4"];
}

}  // namespace

DirectoryServer::DirectoryServer(WorldBuilder& world, const std::string& controller, const std::string& extra_ldif)
    : folder_(world.machine_dir(controller) + "/directory"), address_(machine_address(world, controller)) {
  write_directory(folder_, controller, extra_ldif);
  port_ = free_port(address_);
  name_directory(world, controller, port_);
  pid_ = fork();
  if (pid_ == 0) {
    // The child: slapd in the foreground, its operations logged to a file.
    std::string log = folder_ + "/slapd.log";
    std::freopen(log.c_str(), "w", stderr);
    std::freopen("/dev/null", "w", stdout);
    std::string conf = folder_ + "/slapd.conf", uri = this->uri() + "/";
    execlp("slapd", "slapd", "-f", conf.c_str(), "-h", uri.c_str(), "-d", "256", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0 || !wait_until_answering(address_, port_)) {
    stop();
    throw std::runtime_error("slapd did not start: " + read_file(folder_ + "/slapd.log"));
  }
}

DirectoryServer::~DirectoryServer() { stop(); }

void DirectoryServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string DirectoryServer::uri() const { return "ldap://" + address_ + ":" + std::to_string(port_); }

std::string DirectoryServer::search(const std::string& base, const std::string& scope, const std::string& filter,
                                    const std::vector<std::string>& attributes) const {
  std::vector<std::string> command = {"ldapsearch", "-LLL", "-x", "-o", "ldif-wrap=no", "-H", uri(), "-D",
                                      kDirectoryAdmin, "-w", kDirectoryPassword, "-b", base, "-s", scope,
                                      "-E", "pr=1000/noprompt", filter};
  command.insert(command.end(), attributes.begin(), attributes.end());
  ProgramRun r = run(command);
  // The paged-results control's closing comment is not part of the entries.
  std::string out;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("# pagedresults", 0) != 0) out += line + "\n";
  return out;
}

std::vector<std::string> DirectoryServer::values(const std::string& dn, const std::string& attribute) const {
  std::vector<std::string> out;
  std::istringstream lines(search(dn, "base", "(objectClass=*)", {attribute}));
  std::string prefix = attribute + ": ";
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > prefix.size() && strncasecmp(line.c_str(), prefix.c_str(), prefix.size()) == 0)
      out.push_back(line.substr(prefix.size()));
  }
  return out;
}

int DirectoryServer::modify(const std::string& ldif) const {
  std::string file = folder_ + "/change.ldif";
  write_file(file, ldif);
  return run({"ldapmodify", "-x", "-H", uri(), "-D", kDirectoryAdmin, "-w", kDirectoryPassword, "-f", file}).exit_code;
}

std::vector<std::string> DirectoryServer::logged_searches() const {
  std::vector<std::string> out;
  std::istringstream lines(read_file(folder_ + "/slapd.log").substr(log_start_));
  for (std::string line; std::getline(lines, line);) {
    size_t at = line.find(" SRCH base=");
    if (at != std::string::npos) {
      std::string rest = line.substr(at + 6);
      size_t deref = rest.find(" deref=");
      size_t filter = rest.find(" filter=");
      if (deref != std::string::npos && filter != std::string::npos)
        out.push_back(rest.substr(0, deref) + rest.substr(filter));
    }
  }
  return out;
}

std::vector<std::string> DirectoryServer::logged_modifications() const {
  std::vector<std::string> out;
  std::istringstream lines(read_file(folder_ + "/slapd.log").substr(log_start_));
  for (std::string line; std::getline(lines, line);) {
    size_t at = line.find(" MOD dn=");
    if (at != std::string::npos) out.push_back(line.substr(at + 1));
    at = line.find(" MOD attr=");
    if (at != std::string::npos && !out.empty()) out.back() += line.substr(at + 4);
  }
  return out;
}

void DirectoryServer::forget_log() { log_start_ = read_file(folder_ + "/slapd.log").size(); }

void add_demo_directory(WorldBuilder& world, const std::string& controller) {
  std::string address = machine_address(world, controller);
  write_directory(world.machine_dir(controller) + "/directory", controller, "");
  name_directory(world, controller, free_port(address));
}

bool start_world_directory(const std::string& world_folder, std::string* reason) {
  world::IniFile ini = world::read_ini(world_folder + "/world.ini");
  auto section = ini.find("directory");
  if (section == ini.end()) return true;
  std::string controller = section->second["controller"];
  int port = std::atoi(section->second["port"].c_str());
  std::string machine = world_folder + "/machines/" + controller;
  std::string folder = machine + "/directory";
  std::string address = world::read_ini(machine + "/machine.ini")["machine"]["ipv4"];
  if (!fs::exists(folder + "/slapd.conf")) return true;
  if (port_answers(address, port)) return true;
  // slapd puts itself in the background and stays after the console ends.
  std::string uri = "ldap://" + address + ":" + std::to_string(port) + "/";
  ProgramRun r = run({"slapd", "-f", folder + "/slapd.conf", "-h", uri});
  if (r.exit_code != 0 || !wait_until_answering(address, port)) {
    *reason = "the directory server of " + controller + " did not start on " + uri + ": " + r.output;
    return false;
  }
  return true;
}

std::string bulk_users_ldif(int n) {
  std::string base = std::string("OU=Bulk,") + kDemoDomainDn;
  Ldif l;
  l.usn = 500000;
  l.entry(base, {{"objectClass", "organizationalUnit"}, {"ou", "Bulk"}, {"objectCategory", "organizationalUnit"}});
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Bulk User %05d", i);
    l.entry(std::string("CN=") + name + "," + base,
            {{"objectClass", "user"}, {"cn", name}, {"sAMAccountName", "bulk" + std::to_string(i)},
             {"sAMAccountType", "805306368"}, {"userAccountControl", "512"}, {"objectCategory", "person"}});
  }
  return l.text;
}

}  // namespace support
