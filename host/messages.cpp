// Message functions: how the library reports to the user. Quiet mode shows
// nothing; the host's unattended log file takes unattended and debug messages;
// styled-dialog mode shows the library's own dialogs instead of message boxes.
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

constexpr COLORREF kTextColour = 0xB67231;
constexpr COLORREF kGreetingTitleColour = 0xF3AB00;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr DWORD kTallDialogControlCharacters = 5;

// The host's unattended log file, when it has one open.
HANDLE unattended_log_file() {
  auto* handle = reinterpret_cast<HANDLE*>(g_host_services[kHostUnattendedLogFile]);
  if (handle == nullptr || *handle == nullptr || *handle == INVALID_HANDLE_VALUE) return nullptr;
  return *handle;
}

void write_log_line(HANDLE file, const char* text) {
  DWORD written;
  WriteFile(file, "\r\n", 2, &written, nullptr);
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
}

// Fills a message dialog's block with its title, text, colours and fonts. The
// greeting stands on the title band throughout: its title in the big bold
// font, its text in white with the heading bold font. The other dialogs put a
// white title on the band over a white body with the text in the band's colour.
void fill_block(MessageDialog* d, const char* text, const char* title, bool greeting) {
  create_drawing_resources();
  copy_text(d->title, sizeof d->title, title);
  copy_text(d->text, sizeof d->text, text);
  d->text_colour = greeting ? kWhite : kTextColour;
  d->title_colour = greeting ? kGreetingTitleColour : kWhite;
  d->text_length = static_cast<DWORD>(std::strlen(d->text));
  for (const char* p = d->text; *p; ++p)
    if (static_cast<unsigned char>(*p) < 0x20) ++d->control_characters;
  d->title_brush = g_library.title_band_brush;
  d->body_brush = greeting ? g_library.title_band_brush : g_library.white_brush;
  d->title_font = greeting ? g_library.big_bold_font : g_library.heading_bold_font;
  d->text_font = greeting ? g_library.heading_bold_font : g_library.medium_font;
}

// The colours of the title and the text: a brush for the background and the
// text colour on the device context (a null brush leaves the defaults).
INT_PTR colour_static(const MessageDialog* d, HDC dc, HWND control) {
  bool title = GetDlgCtrlID(control) == IDC_MESSAGE_TITLE;
  HBRUSH brush = title ? d->title_brush : d->body_brush;
  if (brush == nullptr) return FALSE;
  SetTextColor(dc, title ? d->title_colour : d->text_colour);
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(brush);
}

INT_PTR CALLBACK message_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* d = reinterpret_cast<MessageDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      d = reinterpret_cast<MessageDialog*>(lparam);
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
      SetWindowTextA(dialog, d->title);
      SetDlgItemTextA(dialog, IDC_MESSAGE_TITLE, d->title);
      SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, d->text);
      if (d->buttons[0][0] != '\0') SetDlgItemTextA(dialog, IDC_PROMPT_FIRST, d->buttons[0]);
      if (d->buttons[1][0] != '\0') SetDlgItemTextA(dialog, IDC_PROMPT_SECOND, d->buttons[1]);
      if (d->title_font) SendMessageA(GetDlgItem(dialog, IDC_MESSAGE_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(d->title_font), TRUE);
      if (d->text_font) SendMessageA(GetDlgItem(dialog, IDC_MESSAGE_TEXT), WM_SETFONT, reinterpret_cast<WPARAM>(d->text_font), TRUE);
      return TRUE;
    case WM_CTLCOLORDLG:
      return d ? reinterpret_cast<INT_PTR>(d->body_brush) : FALSE;
    case WM_CTLCOLORSTATIC:
      return d ? colour_static(d, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)) : FALSE;
    case WM_DRAWITEM: {
      // Only the greeting's OK button is owner-drawn: white on the title band.
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (d == nullptr || item->CtlID != IDOK) return FALSE;
      draw_button_face(item, d->title_brush, kWhite, "OK");
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      if (id == IDOK || id == IDCANCEL || id == IDC_PROMPT_FIRST || id == IDC_PROMPT_SECOND) {
        if (d) d->chosen = id == IDC_PROMPT_FIRST ? 1 : 2;
        EndDialog(dialog, id);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

HWND host_main_window() { return reinterpret_cast<HWND>(g_host_services[kHostMainWindow]); }

INT_PTR run_message_dialog(const char* template_name, HWND owner, MessageDialogBlock* block) {
  return DialogBoxParamA(g_library.instance, template_name, owner ? owner : host_main_window(),
                         message_dialog_proc, reinterpret_cast<LPARAM>(block));
}

// The short message dialog, or its taller variant for texts of several lines.
int show_styled(HWND owner, const char* text, const char* title, const char* template_name,
                bool greeting = false) {
  MessageDialogBlock block = {};
  fill_block(&block.dialog, text, title, greeting);
  if (std::strcmp(template_name, "SHORT_MSG") == 0 && block.dialog.control_characters >= kTallDialogControlCharacters)
    template_name = "SHORT_MSG_TALL";
  return static_cast<int>(run_message_dialog(template_name, owner, &block));
}

DWORD WINAPI run_background_prompt(LPVOID parameter) {
  auto* block = static_cast<MessageDialogBlock*>(parameter);
  if (run_message_dialog("_A_MSG_BOX", nullptr, block) == -1) block->dialog.chosen = 2;
  block->dialog.done = 1;
  return 0;
}

}  // namespace

const char* library_title() {
  return g_library.sibling_mode ? "QVAWKQ message from QVMR0007.DLL"
                                : "VORNIX message from QVMR0007.DLL";
}

void show_message(HWND owner, const char* text, const char* title, UINT flags) {
  if (g_library.quiet_mode) return;
  if (g_library.styled_dialog_mode) show_styled(owner, text, title ? title : "ERROR", "SHORT_MSG");
  else MessageBoxA(owner, text, title ? title : library_title(), flags);
}

void show_status(HWND owner, const char* text, const char* title, UINT flags) {
  if (g_library.quiet_mode) return;
  if (g_library.styled_dialog_mode) show_styled(owner, text, title ? title : "STATUS", "SHORT_MSG");
  else MessageBoxA(owner, text, title ? title : library_title(), flags);
}

int show_greeting(HWND owner, const char* text, const char* title, UINT flags) {
  if (!g_library.styled_dialog_mode) return MessageBoxA(owner, text, title ? title : library_title(), flags);
  int result = show_styled(owner, text, title ? title : "HELLO", "HELLO_PREP", true);
  if (result == 1 && g_library.add_server_button != nullptr && !g_library.shutdown &&
      !open_host_page(owner, descriptor_half(g_library.add_server_button, kDescHalfPageIdentifier)))
    show_message(owner, "Mismatch in XI table - unable to Open Selected Page", nullptr, MB_ICONERROR);
  return result;
}

int ask_confirmation(HWND owner, const char* text, const char* title, UINT flags) {
  if (g_library.styled_dialog_mode) return show_styled(owner, text, title, "OKCANCEL_MSG_BOX");
  return MessageBoxA(owner, text, title, flags);
}

int ask_with_buttons(HWND owner, const char* text, const char* title, const char* first, const char* second) {
  MessageDialogBlock block = {};
  fill_block(&block.dialog, text, title, false);
  copy_text(block.dialog.buttons[0], sizeof block.dialog.buttons[0], first);
  copy_text(block.dialog.buttons[1], sizeof block.dialog.buttons[1], second);
  return run_message_dialog("_A_MSG_BOX", owner, &block) == IDC_PROMPT_FIRST ? 1 : 2;
}

int show_unattended_message(HWND owner, const char* text, const char* title, UINT flags) {
  if (HANDLE file = unattended_log_file()) {
    write_log_line(file, text);
    return 0;
  }
  if (g_library.quiet_mode) return 1;
  return MessageBoxA(owner, text, title, flags);
}

int show_unattended_message_wide(HWND owner, const WCHAR* text, const char* title, UINT flags) {
  char converted[4000];
  from_wide(text, converted, sizeof converted);
  return show_unattended_message(owner, converted, title, flags);
}

void show_debug_value(int value) {
  char text[64];
  std::snprintf(text, sizeof text, "[%d] hex=[%x]", value, static_cast<unsigned>(value));
  if (HANDLE file = unattended_log_file()) {
    write_log_line(file, text);
    return;
  }
  if (g_library.quiet_mode) return;
  MessageBoxA(nullptr, text, "DEBUG VALUE", MB_OK);
}

void start_background_prompt(MessageDialogBlock* block) {
  MessageDialog& d = block->dialog;
  d.done = 0;
  d.chosen = 0;
  if (g_library.styled_dialog_mode) fill_block(&d, d.text, d.title, false);
  HANDLE thread = CreateThread(nullptr, 0, run_background_prompt, block, 0, nullptr);
  if (thread == nullptr) {
    // Without a thread the prompt cannot be shown: the changes stay unsaved.
    d.chosen = 2;
    d.done = 1;
    return;
  }
  CloseHandle(thread);
}

void enter_styled_dialog_mode() {
  g_library.styled_dialog_mode = 1;
  create_drawing_resources();
}


namespace {

struct TextAnswer {
  char* text;
  size_t size;
};

INT_PTR CALLBACK text_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* answer = reinterpret_cast<TextAnswer*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
      answer = reinterpret_cast<TextAnswer*>(lparam);
      SendMessageA(GetDlgItem(dialog, IDC_TEXT_FIELD), EM_LIMITTEXT, answer->size - 1, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        GetDlgItemTextA(dialog, IDC_TEXT_FIELD, answer->text, static_cast<int>(answer->size));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      // Cancel, or a further button of the dialog, ends it with that button.
      if (HIWORD(wparam) == BN_CLICKED) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

INT_PTR ask_text(HWND owner, const char* template_name, char* text, size_t size) {
  if (size == 0) return IDCANCEL;
  text[0] = '\0';
  TextAnswer answer = {text, size};
  INT_PTR pressed = DialogBoxParamA(g_library.instance, template_name, owner, text_dialog_proc,
                                    reinterpret_cast<LPARAM>(&answer));
  return pressed == IDOK && text[0] == '\0' ? IDCANCEL : pressed;
}
