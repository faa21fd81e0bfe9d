// shell32: the folder chooser, answered by the scripted user as the file dialogs are.
//
// The item list it returns holds one item, the folder's path as typed with its
// terminator, then the empty item that ends every list; SHGetPathFromIDListA
// reads the path back from it.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/kernel_objects.h"
#include "win32/ui_internal.h"
#include "win32/ui_script.h"

namespace {

constexpr UINT kKnownFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_USENEWUI;
constexpr char kDialogName[] = "Browse For Folder";

// The last component of a path, as the chooser shows the folder's name.
std::string folder_name(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  size_t slash = trimmed.find_last_of("\\/");
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

PIDLIST_ABSOLUTE item_list_of(const std::string& path) {
  size_t item = sizeof(USHORT) + path.size() + 1;
  auto* block = static_cast<BYTE*>(std::calloc(1, item + sizeof(USHORT)));
  if (block == nullptr) return nullptr;
  USHORT cb = static_cast<USHORT>(item);
  std::memcpy(block, &cb, sizeof cb);
  std::memcpy(block + sizeof cb, path.c_str(), path.size() + 1);
  return reinterpret_cast<PIDLIST_ABSOLUTE>(block);
}

}  // namespace

extern "C" {

PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderA(LPBROWSEINFOA info) {
  if (info == nullptr) return nullptr;
  if (info->pidlRoot != nullptr || info->lpfn != nullptr || (info->ulFlags & ~kKnownFlags) != 0) {
    platform::unsupported("SHBrowseForFolderA", "a root, a callback or flags beyond the folder and edit box ones");
    return nullptr;
  }
  ui::JournalEntry entry;
  entry.kind = "folder dialog";
  entry.template_name = kDialogName;
  entry.title = info->lpszTitle ? info->lpszTitle : "";
  entry.owner = info->hwndOwner;
  entry.thread = GetCurrentThreadId();
  entry.result = IDCANCEL;
  ui::Answer answer;
  std::string folder;
  bool chosen = platform::take_scripted_answer(entry.template_name, entry.title, entry.text, &answer) &&
                answer.button != IDCANCEL && !answer.edits.empty() && !answer.edits.front().second.empty();
  // A path the shell could not hold is refused as a folder that does not exist would be.
  if (chosen) folder = answer.edits.front().second;
  if (chosen && folder.size() >= MAX_PATH) chosen = false;
  PIDLIST_ABSOLUTE list = chosen ? item_list_of(folder) : nullptr;
  if (list != nullptr) {
    if (info->pszDisplayName != nullptr) {
      std::string name = folder_name(folder);
      std::memcpy(info->pszDisplayName, name.c_str(), name.size() + 1);
    }
    entry.result = IDOK;
    entry.text = folder;
  }
  platform::record_shown(entry);
  return list;
}

BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE list, LPSTR path) {
  if (list == nullptr || path == nullptr) return FALSE;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  USHORT cb;
  std::memcpy(&cb, bytes, sizeof cb);
  if (cb <= sizeof cb) {
    path[0] = '\0';
    return FALSE;
  }
  size_t length = strnlen(reinterpret_cast<const char*>(bytes + sizeof cb), MAX_PATH - 1);
  std::memcpy(path, bytes + sizeof cb, length);
  path[length] = '\0';
  return TRUE;
}

// Task memory is what the layer allocates with malloc for its callers.
void WINAPI CoTaskMemFree(LPVOID block) { std::free(block); }

}  // extern "C"
