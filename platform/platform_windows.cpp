// Windows: UTF-8 names through the wide-character API, file identity by volume serial number and
// file index, both separators, and a console that is asked to take escape sequences.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cwctype>
#include <filesystem>

#include "platform/platform.h"
#include "platform/wide_names_windows.h"

namespace pctlfit {

namespace {

// Every letter kept, so that two names that differ in any letter never share a key.
std::string narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

// The file's identity: volume serial number and file index; false when it cannot be opened.
bool identity(const std::string& path, std::string& key) {
  const HANDLE file =
      CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!known) return false;
  key = "file " + std::to_string(info.dwVolumeSerialNumber) + ":" +
        std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow);
  return true;
}

// The absolute, normal path in lower case: the file system does not tell case apart.
std::wstring normal_path(const std::string& path) {
  std::error_code ec;
  std::wstring normal = std::filesystem::weakly_canonical(widen(path), ec).wstring();
  if (ec) normal = widen(path);
  for (wchar_t& c : normal) c = static_cast<wchar_t>(std::towlower(c));
  return normal;
}

}  // namespace

void on_waiting_for_writer(WaitingNotice) {}  // no FIFOs in the file system

int open_for_reading(const std::string& path) {
  int fd = -1;
  const errno_t error =
      _wsopen_s(&fd, widen(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL,
                _SH_DENYNO, 0);
  if (error != 0) {
    errno = error;
    return -1;
  }
  return fd;
}

int64_t read_some(int fd, void* to, size_t want) {
  const unsigned count = want > INT_MAX ? INT_MAX : static_cast<unsigned>(want);
  return _read(fd, to, count);
}

void close_for_reading(int fd) { _close(fd); }

int64_t read_at(int fd, void* to, size_t want, uint64_t offset) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD count = want > 0x7fffffff ? 0x7fffffff : static_cast<DWORD>(want);
  DWORD got = 0;
  if (ReadFile(file, to, count, &got, &at)) return got;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  errno = EIO;
  return -1;
}

bool is_device(int fd) {
  return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_CHAR;
}

bool regular_file_size(int fd, uint64_t& size) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER bytes{};
  if (!GetFileSizeEx(file, &bytes)) return false;
  size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}

std::FILE* open_for_writing(const std::string& path, bool text) {
  return _wfopen(widen(path).c_str(), text ? L"w" : L"wb");  // text mode: lines end in CR LF
}

bool file_size(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool file_stamp(const std::string& path, FileStamp& stamp) {
  const HANDLE file =
      CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO times{};
  const bool known =
      GetFileInformationByHandle(file, &info) != 0 &&
      GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) != 0;
  CloseHandle(file);
  if (!known) return false;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modified = times.LastWriteTime.QuadPart;
  stamp.changed = times.ChangeTime.QuadPart;
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  std::string key_a, key_b;
  const bool a_exists = identity(a, key_a);
  const bool b_exists = identity(b, key_b);
  if (a_exists && b_exists) return key_a == key_b;
  if (a_exists != b_exists) return false;
  return normal_path(a) == normal_path(b);
}

std::string file_key(const std::string& path) {
  std::string key;
  if (identity(path, key)) return key;
  return "path " + narrow(normal_path(path));
}

// Long path names of up to 32767 UTF-16 units, each at most three bytes of UTF-8.
size_t longest_path_name() { return 32767 * 3; }

bool is_path_separator(char c) { return c == '/' || c == '\\'; }

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

const char* erase_line_sequence(std::FILE* stream) {
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode) &&
      ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
       SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))) {
    return "\r\x1b[K";
  }
  // An older console: overwrite the line with spaces; a progress line is shorter than this.
  return "\r                                                                               \r";
}

void* allocate_large_block(size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void free_large_block(void* block, size_t /*bytes*/) {
  if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace pctlfit
