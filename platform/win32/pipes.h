// Named pipes of the world. Each pipe is a Unix socket at
// pipes/<MACHINE>/<pipe name> in the world folder. A pipe server accepts a
// connection and first sends one byte: kPipeReady, or kPipeBusy when it has no
// free instance. A ready server then reads the request (the client ends its
// side after it), writes its reply and closes.
#pragma once
#include <string>

namespace platform {

constexpr char kPipeReady = 'R';
constexpr char kPipeBusy = 'B';
// How long a client waits for the server's first byte and for its reply.
constexpr int kPipeReplyWaitMs = 2000;

// The socket path of a machine's pipe; empty when the world has no such machine.
std::string pipe_socket_path(const std::string& machine, const std::string& pipe);

}  // namespace platform
