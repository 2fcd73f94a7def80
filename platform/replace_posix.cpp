// POSIX: outputs written under a temporary name beside their target and renamed over it, and
// the temporary names removed when a signal ends the run.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"

namespace pctlfit {

namespace {

// The names the signal handler removes: fixed buffers, since a handler may not allocate.
constexpr int kInterruptSlots = 2;
char interrupt_names[kInterruptSlots][PATH_MAX];
volatile sig_atomic_t interrupt_used[kInterruptSlots];

extern "C" void remove_and_reraise(int signal_number) {
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0) ::unlink(interrupt_names[i]);
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// Once per process; a signal the caller ignores (nohup) stays ignored.
void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = remove_and_reraise;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

// The permissions of a new file: what the umask leaves of rw-rw-rw-.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

FileKind file_kind(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return FileKind::absent;
  if (S_ISREG(status.st_mode)) return FileKind::regular;
  if (S_ISFIFO(status.st_mode)) return FileKind::fifo;
  return FileKind::other;
}

std::string followed_links(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::FILE* create_beside(const std::string& target, std::string& created) {
  struct stat status {};
  const bool exists = ::stat(target.c_str(), &status) == 0;
  if (exists && ::access(target.c_str(), W_OK) != 0) return nullptr;  // errno from access
  const std::filesystem::path path(target);
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::string leaf = ".";  // hidden, and named for its target
  leaf.append(path.filename().string()).append(".XXXXXX");
  std::string name = (folder / leaf).string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return nullptr;
  ::fchmod(fd, exists ? (status.st_mode & 07777) : new_file_mode());
  std::FILE* file = ::fdopen(fd, "w");
  if (file == nullptr) {
    const int error = errno;
    ::close(fd);
    ::unlink(name.c_str());
    errno = error;
    return nullptr;
  }
  created = name;
  return file;
}

bool replace_with(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

void remove_when_interrupted(const std::string& path) {
  install_handlers();
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0 || path.size() >= PATH_MAX) continue;
    std::memcpy(interrupt_names[i], path.c_str(), path.size() + 1);
    interrupt_used[i] = 1;
    return;
  }
}

void forget_when_interrupted(const std::string& path) {
  for (int i = 0; i < kInterruptSlots; ++i) {
    if (interrupt_used[i] != 0 && path == interrupt_names[i]) interrupt_used[i] = 0;
  }
}

}  // namespace pctlfit
