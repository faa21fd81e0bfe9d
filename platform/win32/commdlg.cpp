// comdlg32: the save-file and open-file dialogs, answered by the scripted user.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "win32/ui_internal.h"
#include "win32/ui_script.h"

namespace {

thread_local DWORD g_extended_error = 0;

// The filter's first description ("Comma Delimited File"), as the dialog shows it.
std::string first_filter(const char* filter) { return filter ? filter : ""; }

// Both file dialogs: the scripted user's answer matching the dialog's name, title or filter names the
// file (its first edit); unanswered or cancelled, no file is chosen.
BOOL ask_for_file(LPOPENFILENAMEA dialog, const char* kind, const char* name_shown) {
  g_extended_error = 0;
  if (dialog == nullptr || dialog->lStructSize != sizeof(OPENFILENAMEA)) {
    g_extended_error = CDERR_STRUCTSIZE;
    return FALSE;
  }
  ui::JournalEntry entry;
  entry.kind = kind;
  entry.template_name = name_shown;
  entry.title = dialog->lpstrTitle ? dialog->lpstrTitle : name_shown;
  entry.text = first_filter(dialog->lpstrFilter);
  entry.owner = dialog->hwndOwner;
  entry.thread = GetCurrentThreadId();
  entry.result = IDCANCEL;
  ui::Answer answer;
  std::string name;
  bool chosen = platform::take_scripted_answer(entry.template_name, entry.title, entry.text, &answer) &&
                answer.button != IDCANCEL && !answer.edits.empty() && !answer.edits.front().second.empty();
  if (chosen) name = answer.edits.front().second;
  if (chosen && (dialog->lpstrFile == nullptr || name.size() + 1 > dialog->nMaxFile)) {
    g_extended_error = FNERR_BUFFERTOOSMALL;
    chosen = false;
  }
  if (chosen) {
    std::memcpy(dialog->lpstrFile, name.c_str(), name.size() + 1);
    size_t slash = name.find_last_of("\\/");
    size_t offset = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = name.find('.', offset);
    dialog->nFileOffset = static_cast<WORD>(offset);
    dialog->nFileExtension = static_cast<WORD>(dot == std::string::npos ? name.size() : dot + 1);
    entry.result = IDOK;
    entry.text += "\n" + name;
  }
  platform::record_shown(entry);
  return chosen ? TRUE : FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA dialog) { return ask_for_file(dialog, "save file dialog", "Save As"); }

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA dialog) { return ask_for_file(dialog, "open file dialog", "Open"); }

DWORD WINAPI CommDlgExtendedError(void) { return g_extended_error; }

}  // extern "C"
