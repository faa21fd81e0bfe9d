// TCP ports on the world's loopback addresses, for servers the tests start.
#pragma once

#include <string>

namespace support {

// A port that is free on the address now (the kernel picks it; the caller's server takes it right after).
int free_port(const std::string& address);
// Whether a server takes connections on the address and port.
bool port_answers(const std::string& address, int port);

}  // namespace support
