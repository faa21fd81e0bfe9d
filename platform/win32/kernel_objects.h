// Kernel objects behind HANDLE values: threads, open files and the process token.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

struct KernelObject {
  enum Kind { Thread, File, Token } kind = Thread;
  std::mutex lock;
  std::condition_variable changed;
  bool signalled = false;  // a thread that has ended
  DWORD exit_code = 0;
  int fd = -1;             // an open file
  std::string path;        // the file's path on this machine, for sharing checks
  DWORD access = 0;        // GENERIC_READ / GENERIC_WRITE / DELETE it was opened with; a token's TOKEN_* rights
  DWORD share = 0;         // FILE_SHARE_* it allows others
  DWORD read_delay_ms = 0;  // a file on a machine behind a slow link: each read waits this long
  std::string share_root;   // a file opened over a share: the share's folder, which must stay for reads to go on
};

HANDLE register_object(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> find_object(HANDLE handle);
std::mutex& object_table_lock();
std::map<HANDLE, std::shared_ptr<KernelObject>>& object_table();

// Reports a call or argument the layer does not support, on stderr.
void unsupported(const char* function, const char* what);

}  // namespace platform
