#include "input/stream/line_extent.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/platform.h"

namespace pctlfit {

namespace {

// Bytes [from, from + want) of the file, clamped to its size at opening, into `to`. The count,
// or -1 on a read error (errno set), also where the file ends before that size (errno 0): it
// was shortened under the run (a model still writing it), and what it held is not all read.
int64_t read_range(const PositionedFile& file, uint64_t from, size_t want, char* to) {
  if (from >= file.end) return 0;
  want = static_cast<size_t>(std::min<uint64_t>(want, file.end - from));
  size_t got = 0;
  while (got < want) {
    const int64_t step = read_at(file.fd, to + got, want - got, from + got);
    if (step < 0) return -1;
    if (step == 0) {
      errno = 0;
      return -1;
    }
    got += static_cast<size_t>(step);
  }
  return static_cast<int64_t>(got);
}

// Reads on after buffer[0, have), which starts at file offset `base`, until the line starting at
// buffer[line] has its newline or `capacity` bytes; returns the end of what the block keeps of
// it (after its newline, or where it is cut), or -1 on a read error.
int64_t finish_last_line(const PositionedFile& file, uint64_t base, size_t line, size_t capacity,
                         std::string& buffer, size_t have) {
  size_t searched = line;
  for (;;) {
    const size_t limit = std::min(have, line + capacity);
    const void* newline = std::memchr(buffer.data() + searched, '\n', limit - searched);
    if (newline != nullptr) return static_cast<const char*>(newline) - buffer.data() + 1;
    if (limit == line + capacity) return static_cast<int64_t>(limit);  // cut here
    const size_t step = std::min(capacity, std::max<size_t>(64 << 10, have - line));
    if (buffer.size() < have + step) buffer.resize(have + step);
    const int64_t got = read_range(file, base + have, step, buffer.data() + have);
    if (got < 0) return -1;
    if (got == 0) return static_cast<int64_t>(have);  // the file ends in the line
    searched = have;
    have += static_cast<size_t>(got);
  }
}

}  // namespace

PositionedFile::~PositionedFile() {
  if (fd >= 0) close_for_reading(fd);
}

bool read_extent_lines(const LineExtent& extent, size_t capacity, std::string& block,
                       size_t& length, int& error_number) {
  const PositionedFile& file = *extent.file;
  // One byte before the extent tells whether its first byte starts a line.
  const uint64_t base = extent.at_line_start ? extent.offset : extent.offset - 1;
  const size_t span = static_cast<size_t>(extent.offset + extent.length - base);
  if (block.size() < span) block.resize(span);
  const int64_t got = read_range(file, base, span, block.data());
  length = 0;
  if (got < 0) {
    error_number = errno;
    return false;
  }
  const std::string_view read(block.data(), static_cast<size_t>(got));
  // Line starts at the extent's bytes [base + 1, offset + length): after a newline before them.
  const std::string_view before_end = read.substr(0, std::min(read.size(), span - 1));
  size_t first = 0;
  if (!extent.at_line_start) {
    const size_t newline = before_end.find('\n');
    if (newline == std::string_view::npos) return true;  // inside a line that began before
    first = newline + 1;
  }
  const size_t last_newline = before_end.rfind('\n');
  const size_t last =
      last_newline == std::string_view::npos ? first : std::max(first, last_newline + 1);
  const int64_t end = finish_last_line(file, base, last, capacity, block, read.size());
  if (end < 0) {
    error_number = errno;
    return false;
  }
  const size_t kept = static_cast<size_t>(end) - first;
  if (first > 0) std::memmove(block.data(), block.data() + first, kept);
  length = kept;
  return true;
}

}  // namespace pctlfit
