#include "console/linked_library.h"

#include "host/exports.h"

namespace host {

Library in_process_library() {
  Library library;
  library.introduction_in = &::introduction_in;
  library.establish_tables = &::establish_tables;
  library.entry_point_button_services = &::entry_point_button_services;
  library.entry_point_list_services = &::entry_point_list_services;
  library.entry_point_text_services = &::entry_point_text_services;
  library.exports = {{"entry_point_insert_list_images", reinterpret_cast<void*>(&::entry_point_insert_list_images)},
                     {"alloc_memory_for_list", reinterpret_cast<void*>(&::alloc_memory_for_list)},
                     {"delete_list_item", reinterpret_cast<void*>(&::delete_list_item)},
                     {"treeview_right_click_popupmenu", reinterpret_cast<void*>(&::treeview_right_click_popupmenu)},
                     {"treeview_right_click_action", reinterpret_cast<void*>(&::treeview_right_click_action)},
                     {"entry_point_wm_draw_item", reinterpret_cast<void*>(&::entry_point_wm_draw_item)}};
  use_entry_points(library);
  return library;
}

}  // namespace host
