#pragma once
// The lines of a file's text (see text_stream.h, which decompresses), one at a time for the
// header lines and in blocks of whole lines for the records. The splitter holds one buffer of
// bounded size whatever the lines' lengths: a line longer than its caller's bound is cut, and
// its rest is skipped at the speed of a byte search without being kept.

#include <string>

#include "input/stream/text_stream.h"

namespace pctlfit {

struct LineSplitter {
  TextStream stream;
  std::string buffer;  // text read, not yet handed out: [begin, end); its storage is reused
  size_t begin = 0;
  size_t end = 0;
  bool text_end = false;   // the stream has no more text
  bool skipping = false;   // the rest of a cut line is still to be skipped
  long lines_read = 0;     // lines handed out or skipped by read_line and skip_line
  uint64_t text_read = 0;  // bytes of text read into the buffer so far
  // The text's first read held a carriage return and no newline: each carriage return is read
  // as a newline (a file saved with CR line ends, as by old Mac editors).
  bool cr_line_ends = false;
};

// The bytes of text handed out or skipped so far: where the next line starts.
inline uint64_t text_consumed(const LineSplitter& splitter) {
  return splitter.text_read - (splitter.end - splitter.begin);
}

struct Line {
  std::string text;  // without its newline; at most the caller's bound of bytes
  bool had_newline = false;
  bool cut = false;  // the line was longer than the bound; its rest was skipped
};

// Opens `path` for its text; false when it cannot be opened (stream.open_errno set). The
// buffers of an earlier file are reused.
bool open_splitter(LineSplitter& splitter, const std::string& path);
void close_splitter(LineSplitter& splitter);
inline bool read_failed(const LineSplitter& splitter) { return splitter.stream.read_errno != 0; }

// The next line into `line`, without its newline; a CR before the newline is dropped too, and
// so is a UTF-8 byte-order mark at the file's start. At most `bound` bytes are kept. False at
// the end of the text or when a read failed.
bool read_line(LineSplitter& splitter, Line& line, size_t bound);
// Passes over the next line, whatever its length, keeping none of it; false as read_line.
bool skip_line(LineSplitter& splitter);

// Moves the next whole lines, about `block_size` bytes and at least one line, into
// block[0, length) (the last line of the text may lack its newline); `block` may be longer, and
// its storage is reused. A line that does not end within max(block_size, longest_line + 1)
// bytes is handed out that far, as the block's last line (so longer than `longest_line`), and
// the rest of it is skipped. False when nothing is left or a read failed.
bool read_block(LineSplitter& splitter, std::string& block, size_t& length, size_t block_size,
                size_t longest_line);

}  // namespace pctlfit
