#pragma once
// A file's text: its bytes as they are, or decompressed in steps when its first bytes are the
// magic number of a compressed format. The stream owns the one buffer of bytes read from the
// file and not yet passed on (compressed ones, or a text file's first bytes), of fixed size; the
// reader above it sees only text. A damaged stream (cut short, corrupt, a wrong checksum, bytes
// after the last member) is a read error with a reason, never a short read.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/stream/compression_formats.h"

namespace pctlfit {

// Frees a library's stream state.
struct CodecStateDeleter {
  const CodecLibrary* library = nullptr;
  void operator()(void* state) const { library->state_free(state); }
};

struct TextStream {
  int fd = -1;
  const CompressionFormat* format = nullptr;  // nullptr: a text file
  // The library's state, kept from file to file of the same library (a zstd state holds
  // megabytes: a list of many files allocates it once).
  std::unique_ptr<void, CodecStateDeleter> state;
  std::vector<unsigned char> packed;  // bytes read, not yet passed on: [packed_begin, packed_end)
  size_t packed_begin = 0;
  size_t packed_end = 0;
  bool file_end = false;        // the file's last byte has been read
  bool at_member_start = true;  // the next byte starts a member (or frame), or padding, or ends
  bool any_member = false;      // a member has been decoded whole
  bool in_padding = false;      // zero bytes after the last member have begun
  uint64_t bytes_read = 0;      // from the file: compressed ones for a compressed file
  int open_errno = 0;           // the file could not be opened
  int read_errno = 0;           // a read failed (a folder, an I/O error, a damaged stream)
  std::string problem;          // a damaged or unreadable compressed file: why
};

// Opens `path` and recognises its format by its first bytes; false when it cannot be opened
// (open_errno set). A first read that fails is kept for the first read_text to report. The
// buffer and the library state of an earlier file are reused.
bool open_text_stream(TextStream& stream, const std::string& path);
void close_text_stream(TextStream& stream);

// Up to `want` (> 0) bytes of text into `to`: the count, 0 at the end of the text, -1 when a
// read failed or the stream is damaged (read_errno set; `problem` says why for a stream).
int64_t read_text(TextStream& stream, char* to, size_t want);

}  // namespace pctlfit
