#pragma once
// Sequential reading of a text file in large blocks, with line access for the header lines.
// Lines may be of any length; nothing is truncated. A gzip or zstd file is decompressed while it
// is read: its readers see the text, never the compressed bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "input/decompressor.h"

namespace pctlfit {

struct FileReader {
  int fd = -1;
  // Bytes read but not yet handed out: buffer[begin, end). The buffer keeps its size, so that it
  // is cleared only when it grows, not before every read.
  std::string buffer;
  size_t begin = 0;
  size_t end = 0;
  bool at_eof = false;
  int open_errno = 0;        // set when the file could not be opened
  int read_errno = 0;        // set when a read failed (a directory, an I/O error, a damaged stream)
  std::string read_problem;  // a damaged compressed stream: why ("truncated gzip stream")
  uint64_t bytes_read = 0;   // bytes read from the file (compressed ones, for a compressed file)
  // A compressed file: the decompressor and the compressed bytes read but not yet decompressed,
  // packed[packed_begin, packed_end).
  Decompressor decompressor;
  std::vector<unsigned char> packed;
  size_t packed_begin = 0;
  size_t packed_end = 0;
  bool packed_eof = false;  // the file's last byte has been read
  long lines_read = 0;      // lines handed out by read_line
};

// Opens `path` for reading and recognises a compressed file by its first bytes; false when it
// cannot be opened (then open_errno is set). A first read that fails is kept for the first
// read_line or read_block to report.
bool open_file_reader(FileReader& reader, const std::string& path);
void close_file_reader(FileReader& reader);

// The next line without its newline; a CR before the newline is dropped too, and so is a UTF-8
// byte-order mark at the start of the file. `had_newline` tells whether the line ended in one.
// False at the end of the file or when a read failed (then read_errno is set).
bool read_line(FileReader& reader, std::string& line, bool& had_newline);

// Moves the next whole lines, about `block_size` bytes and at least one line, into
// block[0, length) (the last line of the file may lack its newline); `block` may be longer, and
// its storage is reused. False when nothing is left or a read failed.
bool read_block(FileReader& reader, std::string& block, size_t& length, size_t block_size);

// Reads a whole (small) file into `text`, decompressed; false when it cannot be opened (`opened`
// false) or read, with the system's errno in `error_number` and, for a damaged compressed
// stream, its reason in `problem`.
bool read_whole_file(const std::string& path, std::string& text, bool& opened, int& error_number,
                     std::string& problem);

}  // namespace pctlfit
