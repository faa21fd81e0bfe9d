// A pipe server of the world for the fuzz targets: every connection to one of
// its sockets gets the reply set last, as an agent's pipe sends it (ready, the
// request read to its end, the reply, closed). It runs in a thread of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

void start_pipe_server(const std::vector<std::string>& socket_paths);
void set_pipe_reply(const uint8_t* data, size_t size);
