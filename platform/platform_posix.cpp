#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <filesystem>

#include "platform/platform.h"

namespace pctlfit {

namespace {

std::atomic<WaitingNotice> waiting_notice{nullptr};

// A FIFO opened without waiting, then waited on for its writer's first bytes (or its leaving):
// after a few seconds the notice is given, and the wait goes on.
int open_fifo(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fd;
  pollfd ready{fd, POLLIN, 0};
  int timeout_ms = 3000;
  for (;;) {
    const int got = ::poll(&ready, 1, timeout_ms);
    if (got > 0 || (got < 0 && errno != EINTR)) break;
    if (got == 0 && timeout_ms > 0) {
      if (const WaitingNotice notice = waiting_notice.load()) notice(path);
      timeout_ms = -1;
    }
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

void on_waiting_for_writer(WaitingNotice notice) { waiting_notice.store(notice); }

int open_for_reading(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) return open_fifo(path);
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
#ifdef POSIX_FADV_SEQUENTIAL
  if (fd >= 0) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return fd;
}

int64_t read_some(int fd, void* to, size_t want) {
  ssize_t got;
  do {
    got = ::read(fd, to, want);
  } while (got < 0 && errno == EINTR);
  return got;
}

void close_for_reading(int fd) { ::close(fd); }

int64_t read_at(int fd, void* to, size_t want, uint64_t offset) {
  ssize_t got;
  do {
    got = ::pread(fd, to, want, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  return got;
}

bool is_device(int fd) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode));
}

bool regular_file_size(int fd, uint64_t& size) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  size = static_cast<uint64_t>(status.st_size);
  return true;
}

std::FILE* open_for_writing(const std::string& path, bool) { return std::fopen(path.c_str(), "w"); }

bool file_size(const std::string& path, uint64_t& size) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  size = static_cast<uint64_t>(status.st_size);
  return true;
}

bool file_stamp(const std::string& path, FileStamp& stamp) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  stamp.device = static_cast<uint64_t>(status.st_dev);
  stamp.inode = static_cast<uint64_t>(status.st_ino);
  stamp.size = static_cast<uint64_t>(status.st_size);
  stamp.modified =
      static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  stamp.changed =
      static_cast<int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat stat_a {};
  struct stat stat_b {};
  const bool a_exists = ::stat(a.c_str(), &stat_a) == 0;
  const bool b_exists = ::stat(b.c_str(), &stat_b) == 0;
  if (a_exists && b_exists) return stat_a.st_dev == stat_b.st_dev && stat_a.st_ino == stat_b.st_ino;
  if (a_exists != b_exists) return false;
  std::error_code ec_a;
  std::error_code ec_b;
  const auto path_a = std::filesystem::weakly_canonical(a, ec_a);
  const auto path_b = std::filesystem::weakly_canonical(b, ec_b);
  return !ec_a && !ec_b && path_a == path_b;
}

std::string file_key(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }
  std::error_code ec;
  const auto normal = std::filesystem::weakly_canonical(path, ec);
  return "path " + (ec ? path : normal.string());
}

size_t longest_path_name() { return PATH_MAX - 1; }  // PATH_MAX counts the closing NUL

bool is_path_separator(char c) { return c == '/'; }

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

const char* erase_line_sequence(std::FILE*) { return "\r\x1b[K"; }

void* allocate_large_block(size_t bytes) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void free_large_block(void* block, size_t bytes) {
  if (block != nullptr) ::munmap(block, bytes);
}

}  // namespace pctlfit
