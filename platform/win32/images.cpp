// Icons from a module's resources and the image lists that hold them.
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "win32/kernel_objects.h"
#include "win32/modules.h"
#include "win32/ui_internal.h"

namespace {

struct Icon {
  std::string name;
};

struct ImageList {
  std::vector<const Icon*> images;
};

struct ImageState {
  std::mutex lock;
  std::map<std::pair<HINSTANCE, std::string>, std::unique_ptr<Icon>> icons;  // shared, never freed
  std::map<ImageList*, std::unique_ptr<ImageList>> lists;  // owned until destroyed or exit
};

ImageState& images() {
  static ImageState& state = *new ImageState;
  return state;
}

}  // namespace

namespace platform {

std::string image_name(HIMAGELIST handle, int index) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  if (!s.lists.count(list) || index < 0 || index >= static_cast<int>(list->images.size())) return "";
  return list->images[static_cast<size_t>(index)]->name;
}

}  // namespace platform

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    platform::unsupported("LoadIconA", "numbered or system icons");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (!platform::module_has_icon(instance, name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto& icon = s.icons[{instance, name}];
  if (!icon) icon = std::make_unique<Icon>(Icon{name});
  return reinterpret_cast<HICON>(icon.get());
}

HIMAGELIST WINAPI ImageList_Create(int, int, UINT, int, int) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto list = std::make_unique<ImageList>();
  ImageList* handle = list.get();
  s.lists[handle] = std::move(list);
  return reinterpret_cast<HIMAGELIST>(handle);
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST handle) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  return s.lists.erase(list) != 0;
}

int WINAPI ImageList_ReplaceIcon(HIMAGELIST handle, int index, HICON icon) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  if (!s.lists.count(list) || icon == nullptr) return -1;
  auto* image = reinterpret_cast<const Icon*>(icon);
  if (index == -1) {
    list->images.push_back(image);
    return static_cast<int>(list->images.size() - 1);
  }
  if (index < 0 || index >= static_cast<int>(list->images.size())) return -1;
  list->images[static_cast<size_t>(index)] = image;
  return index;
}

int WINAPI ImageList_GetImageCount(HIMAGELIST handle) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  return s.lists.count(list) ? static_cast<int>(list->images.size()) : 0;
}

}  // extern "C"
