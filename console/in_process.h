// The library's code linked into the console, started on the host's services as
// the host starts a library it loads: what every command that calls the
// library's functions directly does first.
#pragma once

namespace console {

struct InProcessOptions {
  bool print_status_lines = false;  // the host's status line printed among the library's messages
  bool image_list = false;          // the host's image list made, which list events wait for
};

// Hands the library the host's services table and registers its dialog templates and bitmaps (once);
// false when the library refuses the table.
bool start_in_process_library(InProcessOptions options = {});

}  // namespace console
