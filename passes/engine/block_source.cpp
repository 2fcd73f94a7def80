#include "passes/engine/block_source.h"

#include <algorithm>
#include <utility>

#include "input/heading_match.h"
#include "passes/engine/file_opening.h"

namespace pctlfit {

namespace {

void fail(BlockSource& source, WorkItem& item, const InputError& error) {
  item.kind = ItemKind::failure;
  item.error = error;
  close_splitter(source.splitter);
  source.positioned.reset();
  source.reading = false;
  source.finished = true;
}

// The next extent of the file read at offsets, or its end.
void next_extent(BlockSource& source, WorkItem& item) {
  const uint64_t end = source.positioned->end;
  if (source.next_offset >= end) {
    item.kind = ItemKind::file_end;
    source.positioned.reset();
    source.reading = false;
    return;
  }
  const uint64_t length = std::min<uint64_t>(source.block_size, end - source.next_offset);
  item.kind = ItemKind::extent;
  item.extent = {source.positioned, source.next_offset, length, source.first_extent};
  item.file_bytes = length;
  source.first_extent = false;
  source.next_offset += length;
}

// A later file's headings against the first file's: a warning where they differ, and the order
// of its columns where they are the first file's in another order.
void match_headings(BlockSource& source, WorkItem& item, const FileOpening& opening) {
  source.column_order.reset();
  item.heading_note.clear();
  if (item.file == 0 || source.reference_headings == nullptr || opening.header_columns < 0) return;
  const std::vector<std::string>& first = *source.reference_headings;
  HeadingComparison comparison = compare_headings(first, opening.headings);
  item.heading_note = describe_heading_difference(comparison, first, opening.headings);
  if (comparison.match == HeadingMatch::reordered) {
    source.column_order = std::make_shared<const std::vector<int>>(std::move(comparison.order));
  }
}

// Takes in how the file opened: a failure, its start, and how its records are read.
void begin_file(BlockSource& source, WorkItem& item, FileOpening opening) {
  if (failed(opening.error)) return fail(source, item, opening.error);
  match_headings(source, item, opening);
  item.column_order = source.column_order;
  item.kind = ItemKind::file_begin;
  item.header_columns = opening.header_columns;
  item.has_records = opening.has_records;
  item.cr_line_ends = opening.cr_line_ends;
  item.third_line_is_record = opening.third_line_is_record;
  item.third_line_is_dated = opening.third_line_is_dated;
  item.file_bytes = opening.bytes;
  source.bytes_reported = opening.bytes;
  source.reading = opening.has_records;
  source.positioned = std::move(opening.positioned);
  source.next_offset = opening.records_offset;
  source.first_extent = true;
}

// A compressed file's blocks are four times as large: its decompressor's state (a window of
// megabytes) moves to the core that reads the next block, and with 256 KiB blocks those moves
// made zstd on two threads slower than on one.
size_t block_size(const BlockSource& source) {
  return source.splitter.stream.format != nullptr ? 4 * source.block_size : source.block_size;
}

// The bytes of the file read since the last item.
uint64_t take_file_bytes(BlockSource& source) {
  const uint64_t read = source.splitter.stream.bytes_read;
  const uint64_t bytes = read - source.bytes_reported;
  source.bytes_reported = read;
  return bytes;
}

// The next block of the file read through the source's own stream, or its end.
void next_streamed(BlockSource& source, WorkItem& item) {
  if (read_block(source.splitter, item.bytes, item.length, block_size(source),
                 source.longest_line)) {
    item.kind = ItemKind::block;
    item.file_bytes = take_file_bytes(source);
    return;
  }
  const std::string& path = (*source.entries)[item.file];
  if (read_failed(source.splitter)) {
    return fail(source, item,
                stream_error(source.splitter, InputErrorKind::data_cannot_read, path));
  }
  item.kind = ItemKind::file_end;
  item.file_bytes = take_file_bytes(source);
  close_splitter(source.splitter);
  source.reading = false;
}

// The next block of the file that the readahead streams, or its end.
void next_read_ahead(BlockSource& source, WorkItem& item) {
  DecodedBlock block{std::move(item.bytes), 0, 0};
  InputError error;
  const DecodedItem got = take_decoded(*source.readahead, item.file, block, error);
  item.bytes = std::move(block.bytes);
  item.length = block.length;
  item.file_bytes = block.file_bytes;
  if (got == DecodedItem::failure) return fail(source, item, error);
  item.kind = got == DecodedItem::block ? ItemKind::block : ItemKind::file_end;
  if (got == DecodedItem::end) source.reading = false;
}

}  // namespace

void read_ahead_of(BlockSource& source, int threads) {
  source.readahead = std::make_unique<Readahead>();
  Readahead& readahead = *source.readahead;
  readahead.entries = source.entries;
  readahead.block_size = source.block_size;
  readahead.longest_line = source.longest_line;
  readahead.read_at_offsets = source.read_at_offsets;
  readahead.layout = source.layout;
  start_readahead(readahead, threads);
}

void next_item(BlockSource& source, WorkItem& item) {
  item.file_bytes = 0;
  if (source.finished) {
    item.kind = ItemKind::done;
    return;
  }
  if (!source.reading) {
    if (source.readahead && source.next_file > 0)
      leave_file(*source.readahead, source.next_file - 1);
    if (source.next_file == source.entries->size()) {
      source.finished = true;
      item.kind = ItemKind::done;
      return;
    }
    item.file = source.next_file++;
    const std::string& path = (*source.entries)[item.file];
    begin_file(source, item,
               source.readahead ? take_opening(*source.readahead, item.file)
                                : open_listed_file(source.splitter, path, source.header_line,
                                                   source.read_at_offsets, source.layout));
    return;
  }
  item.file = source.next_file - 1;
  item.column_order = source.column_order;
  if (source.positioned) return next_extent(source, item);
  if (source.readahead) return next_read_ahead(source, item);
  next_streamed(source, item);
}

void complete_item(const BlockSource& source, WorkItem& item) {
  if (item.kind != ItemKind::extent) return;
  const size_t capacity = std::max(source.block_size, source.longest_line + 1);
  int error_number = 0;
  const bool read = read_extent_lines(item.extent, capacity, item.bytes, item.length, error_number);
  item.extent.file.reset();  // the file closes with the last extent read
  if (read) {
    item.kind = ItemKind::block;
    return;
  }
  item.kind = ItemKind::failure;
  const std::string shortened =
      error_number == 0 ? "the file ended before the size it had when it was opened: it changed "
                          "during the run (is a program still writing it?)"
                        : "";
  item.error = {InputErrorKind::data_cannot_read, (*source.entries)[item.file], error_number,
                shortened};
}

void close_block_source(BlockSource& source) {
  if (source.readahead) stop_readahead(*source.readahead);
  source.readahead.reset();
  source.positioned.reset();
  close_splitter(source.splitter);
  source.reading = false;
}

}  // namespace pctlfit
