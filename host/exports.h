// Declarations of the library's exported functions, in the host's calling convention.
#pragma once
#include <cstdint>

#include "host/win32.h"

#if defined(_WIN32)
#define QVMR_EXPORT extern "C"
#else
#define QVMR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QVMR_EXPORT DWORD WINAPI introduction_in(DWORD* identity1, DWORD* identity2, DWORD* identity3,
                                         DWORD* module_number);
QVMR_EXPORT DWORD WINAPI establish_tables(DWORD version, const uintptr_t* table);
QVMR_EXPORT DWORD WINAPI entry_point_button_services(HWND screen, DWORD unused, uintptr_t* event);
QVMR_EXPORT DWORD WINAPI entry_point_list_services(HWND control, uintptr_t a2, uintptr_t a3,
                                                   DWORD control_id, uintptr_t a5, uintptr_t a6,
                                                   uintptr_t* descriptor, uintptr_t a8,
                                                   uintptr_t a9, uintptr_t a10, uintptr_t a11,
                                                   uintptr_t a12, uintptr_t a13, uintptr_t a14);
QVMR_EXPORT DWORD WINAPI entry_point_text_services(HWND screen, uintptr_t* descriptor, uintptr_t a3,
                                                   uintptr_t a4, uintptr_t a5, DWORD into_buffer,
                                                   char* text, LONG* out_value, uintptr_t a9,
                                                   uintptr_t a10, uintptr_t a11, DWORD control_id,
                                                   DWORD module_number);
QVMR_EXPORT DWORD WINAPI entry_point_edit_services(const char* new_text, HWND screen,
                                                   uintptr_t* descriptor, const char* server,
                                                   void* record, uintptr_t a6, uintptr_t a7,
                                                   uintptr_t a8, uintptr_t a9, HWND focus_back,
                                                   uintptr_t a11, uintptr_t a12, DWORD control_id);
QVMR_EXPORT DWORD WINAPI change_edit_text_to_dropdown(uintptr_t a1, uintptr_t a2, DWORD control_id);
QVMR_EXPORT DWORD WINAPI change_edit_text_to_datetime(uintptr_t a1, uintptr_t a2, DWORD control_id,
                                                      uintptr_t a4, DWORD* out_style);
QVMR_EXPORT DWORD WINAPI apply_rules_for_edit_text(void);
QVMR_EXPORT DWORD WINAPI check_if_text_to_be_displayed(uintptr_t a1, DWORD control_id, HWND screen,
                                                       DWORD dialog_item, void* record);
QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_edit_text(uintptr_t a1, DWORD control_id,
                                                           HWND screen, uintptr_t* descriptor);
QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_checkbox(uintptr_t a1, DWORD control_id,
                                                          uintptr_t a3, uintptr_t* descriptor);
QVMR_EXPORT DWORD_PTR WINAPI alloc_memory_for_list(void);
QVMR_EXPORT DWORD WINAPI memcpy_list_item(uintptr_t a1, void* destination, const void* source,
                                          DWORD mode);
QVMR_EXPORT DWORD WINAPI return_memcmp_item_data_ptr(uintptr_t a1, uintptr_t a2, const void* a,
                                                     const void* b);
QVMR_EXPORT DWORD WINAPI delete_list_item(uintptr_t a1, uintptr_t a2, void* record);
QVMR_EXPORT DWORD WINAPI set_kill_dup_sort_flag(uintptr_t a1, uintptr_t a2, const char* text_a,
                                                const char* text_b, void* record_a,
                                                void* record_b);
QVMR_EXPORT DWORD WINAPI reindex_lv_kill_no_dups(uintptr_t a1, uintptr_t a2, const char* row_text,
                                                 void* row_record, HWND list, int row, int column);
QVMR_EXPORT DWORD WINAPI abort_searches(void);
QVMR_EXPORT DWORD WINAPI entry_point_insert_list_images(HIMAGELIST image_list);
QVMR_EXPORT DWORD WINAPI QVA_is_valid_to_add(void);
QVMR_EXPORT DWORD WINAPI treeview_right_click_popupmenu(
    uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5, uintptr_t a6,
    uintptr_t a7, uintptr_t a8, uintptr_t a9, uintptr_t a10, uintptr_t a11, uintptr_t a12,
    uintptr_t a13, uintptr_t a14, uintptr_t a15);
QVMR_EXPORT DWORD WINAPI treeview_right_click_action(uintptr_t a1, uintptr_t a2, uintptr_t a3,
                                                     uintptr_t a4, uintptr_t a5, uintptr_t a6,
                                                     uintptr_t a7);
QVMR_EXPORT DWORD WINAPI drag_drop_action(uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4,
                                          uintptr_t a5, uintptr_t a6, uintptr_t a7, uintptr_t a8,
                                          uintptr_t a9);
QVMR_EXPORT DWORD WINAPI entry_point_wm_draw_item(uintptr_t a1, uintptr_t a2, uintptr_t a3,
                                                  uintptr_t a4, uintptr_t a5);
