#include "input/file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pctlfit {

namespace {

constexpr size_t kReadStep = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends up to `want` bytes to the pending data. False at the end of the file or on an error.
bool fill(FileReader& reader, size_t want) {
  if (reader.at_eof || reader.read_errno != 0) return false;
  const size_t old_size = reader.pending.size();
  reader.pending.resize(old_size + want);
  ssize_t got;
  do {
    got = ::read(reader.fd, reader.pending.data() + old_size, want);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    reader.read_errno = errno != 0 ? errno : EIO;
    reader.pending.resize(old_size);
    return false;
  }
  reader.pending.resize(old_size + static_cast<size_t>(got));
  reader.bytes_read += static_cast<uint64_t>(got);
  if (got == 0) reader.at_eof = true;
  return got > 0;
}

// Drops the bytes already handed out, so that the buffer does not grow with the file.
void compact(FileReader& reader) {
  if (reader.consumed == 0) return;
  reader.pending.erase(0, reader.consumed);
  reader.consumed = 0;
}

}  // namespace

bool open_file_reader(FileReader& reader, const std::string& path) {
  reader = FileReader{};
  do {
    reader.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (reader.fd < 0 && errno == EINTR);
  if (reader.fd < 0) return false;
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(reader.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return true;
}

void close_file_reader(FileReader& reader) {
  if (reader.fd >= 0) ::close(reader.fd);
  reader.fd = -1;
}

bool read_line(FileReader& reader, std::string& line, bool& had_newline) {
  size_t newline = reader.pending.find('\n', reader.consumed);
  while (newline == std::string::npos) {
    const size_t searched = reader.pending.size() - reader.consumed;
    compact(reader);
    if (!fill(reader, kReadStep)) break;
    newline = reader.pending.find('\n', searched);
  }
  if (reader.read_errno != 0) return false;
  if (newline == std::string::npos && reader.consumed == reader.pending.size()) return false;
  had_newline = newline != std::string::npos;
  const size_t end = had_newline ? newline : reader.pending.size();
  line.assign(reader.pending, reader.consumed, end - reader.consumed);
  reader.consumed = had_newline ? end + 1 : end;
  if (had_newline && !line.empty() && line.back() == '\r') line.pop_back();
  if (reader.lines_read == 0 && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
  ++reader.lines_read;
  return true;
}

bool read_block(FileReader& reader, std::string& block, size_t block_size) {
  compact(reader);
  while (reader.pending.size() < block_size && fill(reader, block_size - reader.pending.size())) {
  }
  if (reader.read_errno != 0) return false;
  size_t last_newline = reader.pending.rfind('\n');
  // A line longer than the block: read on until it ends.
  while (last_newline == std::string::npos && !reader.at_eof) {
    const size_t searched = reader.pending.size();
    if (!fill(reader, reader.pending.size() + kReadStep)) {
      if (reader.read_errno != 0) return false;
      break;
    }
    last_newline = reader.pending.find('\n', searched);
    if (last_newline != std::string::npos) last_newline = reader.pending.rfind('\n');
  }
  if (reader.pending.empty()) return false;
  const size_t cut = last_newline == std::string::npos ? reader.pending.size() : last_newline + 1;
  block.swap(reader.pending);
  reader.pending.assign(block, cut, std::string::npos);
  block.resize(cut);
  return true;
}

bool read_whole_file(const std::string& path, std::string& text, bool& opened) {
  FileReader reader;
  opened = open_file_reader(reader, path);
  if (!opened) return false;
  while (fill(reader, kReadStep)) {
  }
  const bool ok = reader.read_errno == 0;
  text.swap(reader.pending);
  close_file_reader(reader);
  return ok;
}

}  // namespace pctlfit
