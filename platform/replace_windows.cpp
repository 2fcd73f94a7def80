// Windows: outputs written under a temporary name beside their target and moved over it, and
// the temporary names removed when Ctrl-C or a termination signal ends the run.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <csignal>
#include <cwchar>
#include <filesystem>

#include "platform/platform.h"
#include "platform/wide_names_windows.h"

namespace pctlfit {

namespace {

// The names the signal handler removes: fixed buffers, since a handler may not allocate.
constexpr int kInterruptSlots = 2;
constexpr size_t kLongestName = 32768;
wchar_t interrupt_names[kInterruptSlots][kLongestName];
volatile sig_atomic_t interrupt_used[kInterruptSlots];
std::string interrupt_keys[kInterruptSlots];

extern "C" void remove_and_reraise(int signal_number) {
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0) _wunlink(interrupt_names[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::signal(SIGINT, remove_and_reraise);
  std::signal(SIGTERM, remove_and_reraise);
}

}  // namespace

FileKind file_kind(const std::string& path) {
  const HANDLE file =
      CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileKind::absent;
  const DWORD type = GetFileType(file);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool folder = GetFileInformationByHandle(file, &info) != 0 &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(file);
  if (type == FILE_TYPE_PIPE) return FileKind::fifo;
  return type == FILE_TYPE_DISK && !folder ? FileKind::regular : FileKind::other;
}

std::string followed_links(const std::string& path) { return path; }

std::FILE* create_beside(const std::string& target, std::string& created) {
  const std::wstring wide_target = widen(target);
  const DWORD attributes = GetFileAttributesW(wide_target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return nullptr;
  }
  const std::filesystem::path path(wide_target);
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : L".";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring suffix = L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                std::to_wstring(GetTickCount64() % 1000000) + L"." +
                                std::to_wstring(++counter);
    const std::filesystem::path name = folder / (L"." + path.filename().wstring() + suffix);
    int fd = -1;
    const errno_t error =
        _wsopen_s(&fd, name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT | _O_NOINHERIT,
                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error == EEXIST) continue;
    if (error != 0) {
      errno = error;
      return nullptr;
    }
    std::FILE* file = _wfdopen(fd, L"w");  // text mode: lines end in CR LF
    if (file == nullptr) {
      _close(fd);
      _wunlink(name.c_str());
      return nullptr;
    }
    const std::u8string utf8 = name.u8string();
    created.assign(reinterpret_cast<const char*>(utf8.data()), utf8.size());
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

bool replace_with(const std::string& from, const std::string& to) {
  if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
    return true;
  }
  errno = EACCES;
  return false;
}

void remove_file(const std::string& path) { _wunlink(widen(path).c_str()); }

void remove_when_interrupted(const std::string& path) {
  install_handlers();
  const std::wstring wide = widen(path);
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0 || wide.size() >= kLongestName) continue;
    std::wmemcpy(interrupt_names[i], wide.c_str(), wide.size() + 1);
    interrupt_keys[i] = path;
    interrupt_used[i] = 1;
    return;
  }
}

void forget_when_interrupted(const std::string& path) {
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0 && interrupt_keys[i] == path) interrupt_used[i] = 0;
  }
}

}  // namespace pctlfit
