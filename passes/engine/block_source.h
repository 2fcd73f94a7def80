#pragma once
// Walks the listed data files in order and hands out their contents as a sequence of items:
// a file's start (after its three header lines), blocks of record lines, its end, or a failure.

#include <memory>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "input/stream/line_extent.h"
#include "input/stream/line_splitter.h"
#include "passes/engine/block_parser.h"
#include "passes/engine/readahead.h"

namespace pctlfit {

// An extent is a block still to be read (see complete_item); the consumer never sees one.
enum class ItemKind { file_begin, extent, block, file_end, failure, done };

struct WorkItem {
  ItemKind kind = ItemKind::done;
  size_t file = 0;  // index into the entries
  size_t slot = 0;  // the pipeline's slot that holds the item, below pipeline_slots(threads)
  // An extent or block: its place among the pass's blocks (multi-threaded passes), held also by
  // an extent whose reading failed, so that the blocks after it do not wait for it.
  uint32_t block_number = 0;
  bool numbered = false;
  std::string bytes;  // block: whole record lines in bytes[0, length)
  size_t length = 0;
  LineExtent extent;          // extent: the bytes to read
  ParsedBlock parsed;         // block: filled by parse_block
  int header_columns = -2;    // file_begin: the columns its header names (-1 too short, -2 none)
  bool has_records = false;   // file_begin: false for a file of fewer than three lines
  bool cr_line_ends = false;  // file_begin: its lines end in a carriage return alone
  bool third_line_is_record = false;  // file_begin: its third header line reads as a record
  bool third_line_is_dated = false;   // file_begin: and as one of the date layout
  std::string heading_note;  // file_begin: a warning about its headings against the first file's
  // Where the file's columns stand in another order than the first file's: for each of its
  // columns, the first file's (0-based), so that its values are pooled under their headings.
  std::shared_ptr<const std::vector<int>> column_order;
  InputError error;         // failure
  uint64_t file_bytes = 0;  // bytes of the file read for this item (compressed ones if it is)
};

struct BlockSource {
  const std::vector<std::string>* entries = nullptr;
  size_t block_size = 256 << 10;
  size_t longest_line = 1 << 16;  // a longer record line is cut (see read_block)
  size_t next_file = 0;
  LineSplitter splitter;
  bool reading = false;  // a file is open and its records are being handed out
  bool finished = false;
  Line header_line;
  uint64_t bytes_reported = 0;  // of the current file, in items handed out
  // Plain files are read in extents, each by the worker that parses it, at offsets; compressed
  // ones in blocks, in turn, by the one stream that decompresses them.
  bool read_at_offsets = true;
  FileLayout layout = FileLayout::standard;
  // The first file's headings, that later files' are held against; nullptr: not held.
  const std::vector<std::string>* reference_headings = nullptr;
  std::shared_ptr<const std::vector<int>> column_order;  // of the current file
  std::shared_ptr<const PositionedFile> positioned;      // the current file, read at offsets
  uint64_t next_offset = 0;                              // of its next extent
  bool first_extent = false;                             // the next extent is the records' first
  // Files opened and compressed ones decompressed ahead on threads of their own (a pass on
  // several threads); without it the source opens and decompresses each file itself.
  std::unique_ptr<Readahead> readahead;
};

// Fills `item` with the next item; buffers in `item` are reused. After a failure or the last
// file's end, every further item is `done`.
void next_item(BlockSource& source, WorkItem& item);

// Opens the files and decompresses compressed ones ahead of the source on `threads` threads.
void read_ahead_of(BlockSource& source, int threads);

// Reads an extent's lines, turning it into a block (or a failure); any other item stays as it
// is. Runs on any thread, outside the source's lock.
void complete_item(const BlockSource& source, WorkItem& item);

// Releases what the source still holds open.
void close_block_source(BlockSource& source);

}  // namespace pctlfit
