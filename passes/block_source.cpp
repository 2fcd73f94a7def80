#include "passes/block_source.h"

#include <algorithm>
#include <utility>

#include "input/header.h"
#include "platform/platform.h"

namespace pctlfit {

namespace {

void fail(BlockSource& source, WorkItem& item, InputErrorKind kind) {
  item.kind = ItemKind::failure;
  const TextStream& stream = source.splitter.stream;
  const int error_number =
      kind == InputErrorKind::data_cannot_open ? stream.open_errno : stream.read_errno;
  item.error = {kind, (*source.entries)[item.file], error_number, stream.problem};
  close_splitter(source.splitter);
  source.reading = false;
  source.finished = true;
}

// A plain regular file's records are read at offsets from here on: the source keeps the file
// open for the extents, the splitter lets go of it.
void read_on_at_offsets(BlockSource& source) {
  TextStream& stream = source.splitter.stream;
  uint64_t size = 0;
  if (!source.read_at_offsets || stream.format != nullptr || !regular_file_size(stream.fd, size)) {
    return;
  }
  auto file = std::make_shared<PositionedFile>();
  file->fd = std::exchange(stream.fd, -1);
  file->end = size;
  source.positioned = std::move(file);
  source.next_offset = text_consumed(source.splitter);
  source.first_extent = true;
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

// Opens the next file and reads its three header lines; only the second is kept.
void begin_file(BlockSource& source, WorkItem& item) {
  item.file = source.next_file++;
  const std::string& path = (*source.entries)[item.file];
  LineSplitter& splitter = source.splitter;
  if (!open_splitter(splitter, path)) return fail(source, item, InputErrorKind::data_cannot_open);
  item.kind = ItemKind::file_begin;
  item.header_columns = -2;
  Line& header = source.header_line;
  const bool has_header = skip_line(splitter) && read_line(splitter, header, kLongestHeaderLine);
  if (has_header && header.cut) return fail(source, item, InputErrorKind::header_too_long);
  if (has_header) item.header_columns = count_header_columns(header.text, header.had_newline);
  item.has_records = has_header && skip_line(splitter);
  if (read_failed(splitter)) return fail(source, item, InputErrorKind::data_cannot_read);
  source.reading = item.has_records;
  if (source.reading) read_on_at_offsets(source);
  if (!source.reading || source.positioned) close_splitter(splitter);
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

}  // namespace

void next_item(BlockSource& source, WorkItem& item) {
  item.file_bytes = 0;
  if (source.finished) {
    item.kind = ItemKind::done;
    return;
  }
  if (!source.reading) {
    if (source.next_file == source.entries->size()) {
      source.finished = true;
      item.kind = ItemKind::done;
      return;
    }
    source.bytes_reported = 0;
    begin_file(source, item);
    item.file_bytes = source.positioned ? source.next_offset : take_file_bytes(source);
    return;
  }
  item.file = source.next_file - 1;
  if (source.positioned) return next_extent(source, item);
  if (read_block(source.splitter, item.bytes, item.length, block_size(source),
                 source.longest_line)) {
    item.kind = ItemKind::block;
    item.file_bytes = take_file_bytes(source);
    return;
  }
  if (read_failed(source.splitter)) return fail(source, item, InputErrorKind::data_cannot_read);
  item.kind = ItemKind::file_end;
  item.file_bytes = take_file_bytes(source);
  close_splitter(source.splitter);
  source.reading = false;
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
  item.error = {InputErrorKind::data_cannot_read, (*source.entries)[item.file], error_number, {}};
}

void close_block_source(BlockSource& source) {
  source.positioned.reset();
  close_splitter(source.splitter);
  source.reading = false;
}

}  // namespace pctlfit
