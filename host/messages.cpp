// Message functions: how the library reports to the user, honouring quiet mode.
#include "host/host.h"
#include "resources/resource.h"

namespace {

INT_PTR CALLBACK background_prompt_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* prompt = reinterpret_cast<BackgroundPrompt*>(lparam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    SetWindowTextA(dialog, prompt->title);
    SetDlgItemTextA(dialog, IDC_MESSAGE_TITLE, prompt->title);
    SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, prompt->text);
    SetDlgItemTextA(dialog, IDC_PROMPT_FIRST, prompt->buttons[0]);
    SetDlgItemTextA(dialog, IDC_PROMPT_SECOND, prompt->buttons[1]);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    int id = LOWORD(wparam);
    if (id == IDC_PROMPT_FIRST || id == IDC_PROMPT_SECOND || id == IDCANCEL) {
      auto* prompt = reinterpret_cast<BackgroundPrompt*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
      prompt->chosen = id == IDC_PROMPT_FIRST ? 1 : 2;
      EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

DWORD WINAPI run_background_prompt(LPVOID parameter) {
  auto* prompt = static_cast<BackgroundPrompt*>(parameter);
  HWND owner = reinterpret_cast<HWND>(g_host_services[kHostMainWindow]);
  if (DialogBoxParamA(g_library.instance, "_A_MSG_BOX", owner, background_prompt_proc,
                      reinterpret_cast<LPARAM>(prompt)) == -1)
    prompt->chosen = 2;
  prompt->done = 1;
  return 0;
}

}  // namespace

const char* library_title() {
  return g_library.sibling_mode ? "QVAWKQ message from QVMR0007.DLL"
                                : "VORNIX message from QVMR0007.DLL";
}

void show_message(HWND owner, const char* text, const char* title, UINT flags) {
  if (g_library.quiet_mode) return;
  MessageBoxA(owner, text, title ? title : library_title(), flags);
}

void start_background_prompt(BackgroundPrompt* prompt) {
  prompt->done = 0;
  prompt->chosen = 0;
  HANDLE thread = CreateThread(nullptr, 0, run_background_prompt, prompt, 0, nullptr);
  if (thread == nullptr) {
    // Without a thread the prompt cannot be shown: treat it as discarded.
    prompt->chosen = 2;
    prompt->done = 1;
    return;
  }
  CloseHandle(thread);
}
