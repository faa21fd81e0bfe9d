// Icons from a module's resources, and the image lists that hold them and
// pictures cut from bitmaps.
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "chartdir/memory_dc.h"
#include "win32/gdi_test_api.h"
#include "win32/kernel_objects.h"
#include "win32/modules.h"
#include "win32/ui_internal.h"

namespace {

struct Icon {
  std::string name;
};

// An image: an icon, or a picture of the list's size cut from a bitmap.
struct Image {
  const Icon* icon = nullptr;
  std::shared_ptr<const platform::Picture> picture;
};

struct ImageList {
  int cx = 0, cy = 0;
  std::vector<Image> images;
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
  const Icon* icon = list->images[static_cast<size_t>(index)].icon;
  return icon ? icon->name : "";
}

std::string icon_name(HICON icon) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  for (const auto& [key, loaded] : s.icons)
    if (reinterpret_cast<HICON>(loaded.get()) == icon) return loaded->name;
  return "";
}

}  // namespace platform

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    platform::unsupported("LoadIconA", "numbered or system icons");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::string spelled = platform::module_icon_name(instance, name);
  if (spelled.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto& icon = s.icons[{instance, spelled}];
  if (!icon) icon = std::make_unique<Icon>(Icon{spelled});
  return reinterpret_cast<HICON>(icon.get());
}

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT, int, int) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto list = std::make_unique<ImageList>();
  list->cx = cx;
  list->cy = cy;
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
  Image image;
  image.icon = reinterpret_cast<const Icon*>(icon);
  if (index == -1) {
    list->images.push_back(image);
    return static_cast<int>(list->images.size() - 1);
  }
  if (index < 0 || index >= static_cast<int>(list->images.size())) return -1;
  list->images[static_cast<size_t>(index)] = image;
  return index;
}

// As Windows does, a bitmap wider than the list's images gives one image per image width.
int WINAPI ImageList_Add(HIMAGELIST handle, HBITMAP bitmap, HBITMAP) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  int width = 0, height = 0;
  if (!s.lists.count(list) || !platform::bitmap_size(bitmap, &width, &height) || list->cx <= 0 || width < list->cx)
    return -1;
  int first = static_cast<int>(list->images.size());
  for (int x = 0; x + list->cx <= width; x += list->cx) {
    Image image;
    image.picture = platform::bitmap_part(bitmap, x, list->cx, std::min(height, list->cy));
    if (!image.picture) return -1;
    list->images.push_back(image);
  }
  return first;
}

BOOL WINAPI ImageList_Replace(HIMAGELIST handle, int index, HBITMAP bitmap, HBITMAP) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  int width = 0, height = 0;
  if (!s.lists.count(list) || index < 0 || index >= static_cast<int>(list->images.size()) ||
      !platform::bitmap_size(bitmap, &width, &height))
    return FALSE;
  Image image;
  image.picture = platform::bitmap_part(bitmap, 0, std::min(width, list->cx), std::min(height, list->cy));
  if (!image.picture) return FALSE;
  list->images[static_cast<size_t>(index)] = image;
  return TRUE;
}

BOOL qvmr_image_list_write_png(HIMAGELIST handle, int index, const char* path) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  if (!s.lists.count(list) || index < 0 || index >= static_cast<int>(list->images.size()) || path == nullptr)
    return FALSE;
  const auto& picture = list->images[static_cast<size_t>(index)].picture;
  return picture && platform::write_picture_png(*picture, path);
}

int WINAPI ImageList_GetImageCount(HIMAGELIST handle) {
  ImageState& s = images();
  std::lock_guard<std::mutex> guard(s.lock);
  auto* list = reinterpret_cast<ImageList*>(handle);
  return s.lists.count(list) ? static_cast<int>(list->images.size()) : 0;
}

}  // extern "C"
