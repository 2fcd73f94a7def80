#pragma once
// The listed files opened, and those read through a stream (compressed ones) decompressed,
// ahead of a pass on threads of their own: a few files at once, each one stream, each with at
// most a few blocks waiting, so that several files decompress at once on different cores while
// the block source still hands out their blocks in list order. Plain files are only opened here;
// their extents are read by the workers that parse them.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "passes/engine/file_opening.h"

namespace pctlfit {

struct DecodedBlock {
  std::string bytes;  // whole record lines in bytes[0, length)
  size_t length = 0;
  uint64_t file_bytes = 0;  // bytes of the file read for it
};

struct ReadaheadFile {
  bool opened = false;
  FileOpening opening;
  std::deque<DecodedBlock> blocks;
  bool ended = false;  // no block follows those waiting
  InputError error;    // the stream failed after the blocks waiting
  uint64_t end_bytes = 0;
};

struct Readahead {
  const std::vector<std::string>* entries = nullptr;
  size_t block_size = 0;    // for a plain stream; four times that for a compressed one
  size_t longest_line = 0;  // see read_block
  bool read_at_offsets = true;
  FileLayout layout = FileLayout::standard;
  size_t window = 1;  // files open at once, from the one the source is at
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::unique_ptr<ReadaheadFile>> files;  // by entry; made when taken up
  std::vector<std::string> spare_buffers;             // blocks' storage handed back
  size_t current = 0;                                 // the file the source is at
  size_t next_claim = 0;                              // the next file to take up
  bool stop = false;
  std::vector<std::thread> threads;
};

// Starts `threads` threads that open and decompress the entries ahead of the source.
void start_readahead(Readahead& readahead, int threads);
// Stops and joins them.
void stop_readahead(Readahead& readahead);

// The opening of file `file` (the source's current one), once it is there.
FileOpening take_opening(Readahead& readahead, size_t file);

enum class DecodedItem { block, end, failure };

// The next block of the current streamed file into `block` (whose old storage is handed back),
// or its end or failure (`error`), once it is known.
DecodedItem take_decoded(Readahead& readahead, size_t file, DecodedBlock& block, InputError& error);

// The source is done with file `file`: the window moves on.
void leave_file(Readahead& readahead, size_t file);

}  // namespace pctlfit
