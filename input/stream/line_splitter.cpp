#include "input/stream/line_splitter.h"

#include <algorithm>
#include <cstring>

namespace pctlfit {

namespace {

constexpr size_t kReadStep = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends up to `want` bytes of text at the buffer's end. False at the end or on an error.
bool fill(LineSplitter& splitter, size_t want) {
  if (splitter.text_end || read_failed(splitter)) return false;
  if (splitter.buffer.size() < splitter.end + want) splitter.buffer.resize(splitter.end + want);
  const int64_t got = read_text(splitter.stream, splitter.buffer.data() + splitter.end, want);
  if (got <= 0) {
    splitter.text_end = got == 0;
    return false;
  }
  char* const text = splitter.buffer.data() + splitter.end;
  const std::string_view read(text, static_cast<size_t>(got));
  if (splitter.text_read == 0) {
    splitter.cr_line_ends =
        read.find('\r') != std::string_view::npos && read.find('\n') == std::string_view::npos;
  }
  if (splitter.cr_line_ends) std::replace(text, text + got, '\r', '\n');
  splitter.end += static_cast<size_t>(got);
  splitter.text_read += static_cast<uint64_t>(got);
  return true;
}

// Moves the pending text to the front, so that the buffer does not grow with the file.
void compact(LineSplitter& splitter) {
  if (splitter.begin == 0) return;
  std::memmove(splitter.buffer.data(), splitter.buffer.data() + splitter.begin,
               splitter.end - splitter.begin);
  splitter.end -= splitter.begin;
  splitter.begin = 0;
}

// Offset of the first newline in buffer[from, end), or npos.
size_t find_newline(const LineSplitter& splitter, size_t from) {
  const char* data = splitter.buffer.data();
  const void* found = std::memchr(data + from, '\n', splitter.end - from);
  return found == nullptr ? std::string::npos
                          : static_cast<size_t>(static_cast<const char*>(found) - data);
}

// Passes over the rest of a cut line, in reads as large as the buffer, searching for its end.
// False on a read error.
bool skip_rest(LineSplitter& splitter) {
  while (splitter.skipping) {
    const size_t newline = find_newline(splitter, splitter.begin);
    if (newline != std::string::npos) {
      splitter.begin = newline + 1;
      splitter.skipping = false;
      break;
    }
    splitter.begin = splitter.end = 0;
    if (!fill(splitter, std::max(kReadStep, splitter.buffer.size()))) {
      splitter.skipping = false;
      return !read_failed(splitter);
    }
  }
  return true;
}

// The next line, keeping at most `bound` bytes of it in `line` (when `line` is given).
bool next_line(LineSplitter& splitter, Line* line, size_t bound) {
  if (!skip_rest(splitter)) return false;
  size_t length = 0;  // of the whole line, kept or not
  bool had_newline = false;
  char last = '\0';
  if (line != nullptr) line->text.clear();
  for (;;) {
    const size_t newline = find_newline(splitter, splitter.begin);
    const size_t piece_end = newline == std::string::npos ? splitter.end : newline;
    const size_t piece = piece_end - splitter.begin;
    if (piece > 0) last = splitter.buffer[piece_end - 1];
    if (line != nullptr && line->text.size() < bound) {
      line->text.append(splitter.buffer, splitter.begin,
                        std::min(piece, bound - line->text.size()));
    }
    length += piece;
    if (newline != std::string::npos) {
      splitter.begin = newline + 1;
      had_newline = true;
      break;
    }
    splitter.begin = splitter.end = 0;
    if (!fill(splitter, kReadStep)) {
      if (read_failed(splitter) || length == 0) return false;
      break;
    }
  }
  const bool has_cr = had_newline && last == '\r';
  const bool at_start = splitter.lines_read++ == 0;
  if (line == nullptr) return true;
  line->had_newline = had_newline;
  line->cut = length - (has_cr ? 1 : 0) > bound;
  if (has_cr && !line->cut) line->text.pop_back();
  if (at_start && line->text.starts_with(kByteOrderMark))
    line->text.erase(0, kByteOrderMark.size());
  return true;
}

}  // namespace

bool open_splitter(LineSplitter& splitter, const std::string& path) {
  close_splitter(splitter);
  splitter.begin = splitter.end = 0;
  splitter.text_end = false;
  splitter.skipping = false;
  splitter.lines_read = 0;
  splitter.text_read = 0;
  splitter.cr_line_ends = false;
  return open_text_stream(splitter.stream, path);
}

void close_splitter(LineSplitter& splitter) { close_text_stream(splitter.stream); }

bool read_line(LineSplitter& splitter, Line& line, size_t bound) {
  return next_line(splitter, &line, bound);
}

bool skip_line(LineSplitter& splitter) { return next_line(splitter, nullptr, 0); }

bool read_block(LineSplitter& splitter, std::string& block, size_t& length, size_t block_size,
                size_t longest_line) {
  if (!skip_rest(splitter)) return false;
  compact(splitter);
  const size_t capacity = std::max(block_size, longest_line + 1);
  // Reads grow from 64 KiB to the block size, so that a small file needs no large buffer.
  size_t target = block_size;
  size_t last_newline = std::string::npos;
  for (size_t searched = 0;;) {
    while (splitter.end < target &&
           fill(splitter, std::min(target - splitter.end, std::max(kReadStep, splitter.end)))) {
    }
    if (read_failed(splitter)) return false;
    if (find_newline(splitter, searched) != std::string::npos) {
      last_newline = std::string_view(splitter.buffer.data(), splitter.end).rfind('\n');
      break;
    }
    // No line ends in the block: read on up to the capacity, then cut.
    if (splitter.text_end || splitter.end >= capacity) break;
    searched = splitter.end;
    target = capacity;
  }
  if (splitter.end == 0) return false;
  size_t cut = last_newline + 1;
  if (last_newline == std::string::npos) {
    cut = splitter.end;
    splitter.skipping = !splitter.text_end;
  }
  // The block takes the buffer; the splitter goes on in the block's old storage with the rest.
  block.swap(splitter.buffer);
  length = cut;
  const size_t rest = splitter.end - cut;
  if (splitter.buffer.size() < rest) splitter.buffer.resize(rest);
  std::memcpy(splitter.buffer.data(), block.data() + cut, rest);
  splitter.end = rest;
  return true;
}

}  // namespace pctlfit
