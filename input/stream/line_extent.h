#pragma once
// The record lines of a plain text file read in extents, each on its own thread: an extent is a
// range of the file's bytes, and it holds the lines that start in it, read whole with a read
// past its end for the last one. The lines come out as the line splitter's read_block hands
// them out, so that a block of extents parses exactly as a block of the sequential reading: a
// line whose newline does not come within `capacity` bytes of its start is cut there and the
// rest of it is skipped (the extents after it hold no line until its end).

#include <cstdint>
#include <memory>
#include <string>

namespace pctlfit {

// An open file that several threads read at offsets; closed with the last extent that holds it.
struct PositionedFile {
  int fd = -1;
  uint64_t end = 0;  // the file's size when its records began: no extent reads past it
  ~PositionedFile();
};

struct LineExtent {
  std::shared_ptr<const PositionedFile> file;
  uint64_t offset = 0;
  uint64_t length = 0;
  bool at_line_start = false;  // `offset` starts a line (the first extent of the records)
};

// The lines that start in the extent into block[0, length) (the block's storage is reused and
// may be longer). False when a read failed, with `error_number` set: 0 where the file ended
// before the size it had when it was opened.
bool read_extent_lines(const LineExtent& extent, size_t capacity, std::string& block,
                       size_t& length, int& error_number);

}  // namespace pctlfit
