// The LDAP side of the directory interfaces: where an ADsPath leads in the
// world, the connection bound as the console user's logon session, the
// Windows codes of LDAP results, the thread's last directory error, the
// schema's value types, and wide text as the directory's UTF-8.
#pragma once
#include <activeds.h>
#include <ldap.h>

#include <string>

namespace adsi {

// UTF-8 and wide text (the directory speaks UTF-8, the interfaces wide text).
std::string utf8(LPCWSTR text);
std::u16string wide(const std::string& text);
bool equal_ignoring_case(const std::string& a, const std::string& b);

// What an ADsPath names.
struct Target {
  std::string address;  // the controller's IPv4
  int port = 0;
  std::string host;     // the server as written in the path (empty: serverless)
  std::string dn;       // the object ("" for the root DSE)
  bool root_dse = false;
  bool naming_context = false;  // a path that names a server only: its default naming context
};

// Parses the path and finds its server in the world. S_OK, E_ADS_BAD_PATHNAME,
// 0x8007054B (no domain for a serverless path), 0x8007203A (no such server).
HRESULT resolve_path(LPCWSTR path, Target* target);

// A connection bound as the console user; the object is unbound when it goes.
struct Connection {
  LDAP* ld = nullptr;
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();
};
HRESULT connect(const Target& target, Connection* connection);

// The HRESULT of an LDAP result, after keeping it as the thread's last error
// (its Windows code and the server's diagnostic text).
HRESULT fail(LDAP* ld, int result);
void clear_last_error();

// The value type of an attribute, from the attributeSyntax of its schema
// entry (read once per directory); names the schema does not know are
// case-ignore strings.
ADSTYPE attribute_type(LDAP* ld, const Target& target, const std::string& name);

// A value placed in a filter, escaped as RFC 4515 says.
std::string escape_filter_value(const std::string& value);

// The text of a DN placed in an ADsPath: "/" escaped as "\/".
std::string path_dn(const std::string& dn);

// Blocks handed to the caller in one piece (FreeADsMem, FreeColumn): parts
// allocated for a block go with it.
void* new_block(size_t bytes);
void* block_part(void* block, size_t bytes);
LPWSTR block_text(void* block, const std::u16string& text);
void free_block(void* block);
// One LDAP value as an ADSVALUE of the attribute's type; its texts and bytes are parts of the block.
void convert_value(void* block, ADSTYPE type, const berval& v, ADSVALUE* out);

}  // namespace adsi
