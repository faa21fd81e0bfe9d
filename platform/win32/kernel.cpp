// kernel32: errors, environment, names, time, threads, memory, files and modules.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "win32/kernel_objects.h"
#include "win32/modules.h"
#include "world/world.h"

namespace {

thread_local DWORD t_last_error = 0;

// ERROR_NETNAME_DELETED: the share of an open file is no longer available.
constexpr DWORD kNetnameDeleted = 64;

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kFileTimeEpochOffset = 116444736000000000ull;

void to_system_time(const struct tm& tm, unsigned milliseconds, LPSYSTEMTIME out) {
  out->wYear = static_cast<WORD>(tm.tm_year + 1900);
  out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  out->wDay = static_cast<WORD>(tm.tm_mday);
  out->wHour = static_cast<WORD>(tm.tm_hour);
  out->wMinute = static_cast<WORD>(tm.tm_min);
  out->wSecond = static_cast<WORD>(tm.tm_sec);
  out->wMilliseconds = static_cast<WORD>(milliseconds);
}

// Copies text into a caller's buffer the way the ...A functions do: on success
// the length without terminator, else the size needed with the terminator.
DWORD copy_out(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

struct ThreadStart {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  std::shared_ptr<platform::KernelObject> object;
};

void* run_thread(void* arg) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(arg));
  DWORD code = start->start(start->parameter);
  std::lock_guard<std::mutex> guard(start->object->lock);
  start->object->signalled = true;
  start->object->exit_code = code;
  start->object->changed.notify_all();
  return nullptr;
}

}  // namespace

namespace platform {

HANDLE register_object(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> guard(object_table_lock());
  HANDLE handle = object.get();
  object_table()[handle] = std::move(object);
  return handle;
}

std::shared_ptr<KernelObject> find_object(HANDLE handle) {
  std::lock_guard<std::mutex> guard(object_table_lock());
  auto it = object_table().find(handle);
  return it == object_table().end() ? nullptr : it->second;
}

std::mutex& object_table_lock() {
  static std::mutex lock;
  return lock;
}

std::map<HANDLE, std::shared_ptr<KernelObject>>& object_table() {
  static auto& table = *new std::map<HANDLE, std::shared_ptr<KernelObject>>;
  return table;
}

void unsupported(const char* function, const char* what) {
  std::fprintf(stderr, "qvmr7 win32: %s: not supported: %s\n", function, what);
}

}  // namespace platform

extern "C" {

DWORD WINAPI GetLastError(void) { return t_last_error; }
void WINAPI SetLastError(DWORD code) { t_last_error = code; }

DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  const char* value = name ? std::getenv(name) : nullptr;
  if (value == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return copy_out(value, buffer, size);
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int rc = value ? setenv(name, value, 1) : unsetenv(name);
  return rc == 0;
}

BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name = world::console_machine();
  if (buffer == nullptr || *size <= name.size()) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

BOOL WINAPI GetComputerNameExW(COMPUTER_NAME_FORMAT format, LPWSTR buffer, LPDWORD size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name = world::console_machine();
  std::string domain = world::domain();
  switch (format) {
    case ComputerNameDnsDomain:
    case ComputerNamePhysicalDnsDomain:
      name = domain;
      break;
    case ComputerNameDnsFullyQualified:
    case ComputerNamePhysicalDnsFullyQualified:
      if (!domain.empty()) name += "." + domain;
      break;
    default:
      break;
  }
  if (buffer == nullptr || *size <= name.size()) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  for (size_t i = 0; i <= name.size(); ++i) buffer[i] = static_cast<unsigned char>(name.c_str()[i]);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

// With a world open, the console runs in its program's folder on the console machine.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  if (world::ensure_open()) {
    std::string program = world::console_program();
    return copy_out(program.substr(0, program.rfind('\\')).c_str(), buffer, size);
  }
  char path[4096];
  if (getcwd(path, sizeof path) == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return copy_out(path, buffer, size);
}

DWORD WINAPI GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  std::memset(info, 0, sizeof *info);
  tzset();
  // Standard offset from the zone's January and July offsets: the larger
  // one (further east) is daylight time in either hemisphere.
  time_t now = static_cast<time_t>(world::clock_now_ms() / 1000);
  struct tm local {};
  localtime_r(&now, &local);
  struct tm probe {};
  probe.tm_year = local.tm_year;
  probe.tm_mday = 1;
  probe.tm_isdst = -1;
  probe.tm_mon = 0;
  time_t january = mktime(&probe);
  probe.tm_mon = 6;
  probe.tm_isdst = -1;
  time_t july = mktime(&probe);
  struct tm jan {}, jul {};
  localtime_r(&january, &jan);
  localtime_r(&july, &jul);
  long standard = jan.tm_gmtoff < jul.tm_gmtoff ? jan.tm_gmtoff : jul.tm_gmtoff;
  long daylight = jan.tm_gmtoff < jul.tm_gmtoff ? jul.tm_gmtoff : jan.tm_gmtoff;
  info->Bias = static_cast<LONG>(-standard / 60);
  info->StandardBias = 0;
  const char* std_name = tzname[0] ? tzname[0] : "";
  const char* dst_name = tzname[1] ? tzname[1] : "";
  for (int i = 0; i < 31 && std_name[i]; ++i) info->StandardName[i] = static_cast<unsigned char>(std_name[i]);
  for (int i = 0; i < 31 && dst_name[i]; ++i) info->DaylightName[i] = static_cast<unsigned char>(dst_name[i]);
  if (standard == daylight) return TIME_ZONE_ID_UNKNOWN;
  info->DaylightBias = static_cast<LONG>(-(daylight - standard) / 60);
  return local.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

void WINAPI GetSystemTime(LPSYSTEMTIME out) {
  uint64_t ms = world::clock_now_ms();
  time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm tm {};
  gmtime_r(&seconds, &tm);
  to_system_time(tm, static_cast<unsigned>(ms % 1000), out);
}

void WINAPI GetLocalTime(LPSYSTEMTIME out) {
  uint64_t ms = world::clock_now_ms();
  time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm tm {};
  localtime_r(&seconds, &tm);
  to_system_time(tm, static_cast<unsigned>(ms % 1000), out);
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME out) {
  uint64_t value = world::clock_now_ms() * 10000ull + kFileTimeEpochOffset;
  out->dwLowDateTime = static_cast<DWORD>(value);
  out->dwHighDateTime = static_cast<DWORD>(value >> 32);
}

// Windows refuses file times with the top bit set (beyond the year 30827).
BOOL WINAPI FileTimeToSystemTime(const FILETIME* in, LPSYSTEMTIME out) {
  if (in == nullptr || out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t value = (static_cast<uint64_t>(in->dwHighDateTime) << 32) | in->dwLowDateTime;
  if (value >= 0x8000000000000000ull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Days and the time of day from 1601-01-01, then the civil date of those days.
  uint64_t ms = value / 10000;
  int64_t days = static_cast<int64_t>(ms / 86400000ull);
  uint64_t in_day = ms % 86400000ull;
  int64_t z = days - 134774 + 719468;  // days since 0000-03-01
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  out->wYear = static_cast<WORD>(year);
  out->wMonth = static_cast<WORD>(month);
  out->wDay = static_cast<WORD>(day);
  out->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  out->wHour = static_cast<WORD>(in_day / 3600000);
  out->wMinute = static_cast<WORD>(in_day / 60000 % 60);
  out->wSecond = static_cast<WORD>(in_day / 1000 % 60);
  out->wMilliseconds = static_cast<WORD>(in_day % 1000);
  return TRUE;
}

int WINAPI MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long product = static_cast<long long>(number) * numerator;
  bool negative = (product < 0) != (denominator < 0);
  unsigned long long magnitude = static_cast<unsigned long long>(product < 0 ? -product : product);
  unsigned long long divisor = static_cast<unsigned long long>(denominator < 0 ? -static_cast<long long>(denominator)
                                                                              : denominator);
  // Rounded half away from zero, as Windows rounds.
  unsigned long long quotient = (magnitude + divisor / 2) / divisor;
  if (quotient > 0x7FFFFFFFull + (negative ? 1 : 0)) return -1;
  return negative ? static_cast<int>(-static_cast<long long>(quotient)) : static_cast<int>(quotient);
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(world::clock_ticks_ms()); }

void WINAPI Sleep(DWORD milliseconds) { world::clock_sleep(milliseconds); }

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD thread_id) {
  if (start == nullptr || flags != 0) {
    platform::unsupported("CreateThread", start ? "creation flags" : "null start routine");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<platform::KernelObject>();
  object->kind = platform::KernelObject::Thread;
  auto* arg = new ThreadStart{start, parameter, object};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stack_size >= static_cast<SIZE_T>(PTHREAD_STACK_MIN)) pthread_attr_setstacksize(&attr, stack_size);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, run_thread, arg);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete arg;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  static std::atomic<DWORD> next_id{1000};
  if (thread_id) *thread_id = next_id++;
  return platform::register_object(object);
}

// A critical section is a recursive pthread mutex that the section points to.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
  std::memset(section, 0, sizeof *section);
  auto* lock = new pthread_mutex_t;
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(lock, &attr);
  pthread_mutexattr_destroy(&attr);
  section->LockSemaphore = lock;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_lock(static_cast<pthread_mutex_t*>(section->LockSemaphore));
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_unlock(static_cast<pthread_mutex_t*>(section->LockSemaphore));
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
  auto* lock = static_cast<pthread_mutex_t*>(section->LockSemaphore);
  if (lock == nullptr) return;
  pthread_mutex_destroy(lock);
  delete lock;
  section->LockSemaphore = nullptr;
}

DWORD WINAPI GetCurrentThreadId(void) {
  static std::atomic<DWORD> next_id{1};
  thread_local DWORD id = next_id++;
  return id;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto object = platform::find_object(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> guard(object->lock);
  if (milliseconds == INFINITE) {
    object->changed.wait(guard, [&] { return object->signalled; });
    return WAIT_OBJECT_0;
  }
  bool done = object->changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                       [&] { return object->signalled; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  std::shared_ptr<platform::KernelObject> object;
  {
    std::lock_guard<std::mutex> guard(platform::object_table_lock());
    auto it = platform::object_table().find(handle);
    if (it == platform::object_table().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    platform::object_table().erase(it);
  }
  if (object->fd >= 0) ::close(object->fd);
  return TRUE;
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  // A movable block never moves here: its handle is its address, as GlobalLock answers.
  if ((flags & ~static_cast<UINT>(GMEM_ZEROINIT | GMEM_MOVEABLE)) != 0) {
    platform::unsupported("GlobalAlloc", "discardable or shared blocks");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* block = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1)
                                        : std::malloc(bytes ? bytes : 1);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL block) {
  std::free(block);
  return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL block) { return block; }
BOOL WINAPI GlobalUnlock(HGLOBAL) { return TRUE; }

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD bytes, LPDWORD written, LPOVERLAPPED) {
  auto object = platform::find_object(file);
  if (!object || object->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ssize_t n = ::write(object->fd, data, bytes);
  if (n < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (written) *written = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID data, DWORD bytes, LPDWORD read, LPOVERLAPPED) {
  auto object = platform::find_object(file);
  if (!object || object->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->read_delay_ms) std::this_thread::sleep_for(std::chrono::milliseconds(object->read_delay_ms));
  // A share taken away under an open file: its reads fail as a lost network name does.
  struct stat share;
  if (!object->share_root.empty() && ::stat(object->share_root.c_str(), &share) != 0) {
    SetLastError(kNetnameDeleted);
    return FALSE;
  }
  ssize_t n = ::read(object->fd, data, bytes);
  if (n < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (read) *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position,
                             DWORD method) {
  auto object = platform::find_object(file);
  if (!object || object->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
             : method == FILE_END   ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Windows refuses a move before the start of the file and leaves the position as it was.
  struct stat status;
  off_t base = whence == SEEK_SET   ? 0
               : whence == SEEK_CUR ? ::lseek(object->fd, 0, SEEK_CUR)
               : ::fstat(object->fd, &status) == 0 ? status.st_size : -1;
  if (base < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (distance.QuadPart < 0 && -distance.QuadPart > base) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return FALSE;
  }
  off_t moved = ::lseek(object->fd, static_cast<off_t>(base + distance.QuadPart), SEEK_SET);
  if (moved < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (new_position) new_position->QuadPart = moved;
  return TRUE;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
  if (reserved != nullptr) return static_cast<HRESULT>(0x80070057);  // E_INVALIDARG
  return S_OK;
}

void WINAPI CoUninitialize(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
  return controls != nullptr && controls->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

}  // extern "C"
