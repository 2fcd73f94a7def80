#include "input/block_source.h"

#include "input/header.h"

namespace pctlfit {

namespace {

void fail(BlockSource& source, WorkItem& item, InputErrorKind kind) {
  item.kind = ItemKind::failure;
  const int error_number = kind == InputErrorKind::data_cannot_open ? source.reader.open_errno
                                                                    : source.reader.read_errno;
  item.error = {kind, (*source.entries)[item.file], error_number, source.reader.read_problem};
  close_file_reader(source.reader);
  source.reading = false;
  source.finished = true;
}

// Opens the next file and reads its three header lines.
void begin_file(BlockSource& source, WorkItem& item) {
  item.file = source.next_file++;
  const std::string& path = (*source.entries)[item.file];
  if (!open_file_reader(source.reader, path))
    return fail(source, item, InputErrorKind::data_cannot_open);
  item.kind = ItemKind::file_begin;
  item.header_columns = -2;
  int lines = 0;
  bool had_newline = false;
  while (lines < 3 && read_line(source.reader, source.header_line, had_newline)) {
    ++lines;
    if (lines == 2) item.header_columns = count_header_columns(source.header_line, had_newline);
  }
  if (source.reader.read_errno != 0) return fail(source, item, InputErrorKind::data_cannot_read);
  item.has_records = lines == 3;
  source.reading = item.has_records;
  if (!source.reading) close_file_reader(source.reader);
}

// The bytes of the file read since the last item.
uint64_t take_file_bytes(BlockSource& source) {
  const uint64_t bytes = source.reader.bytes_read - source.bytes_reported;
  source.bytes_reported = source.reader.bytes_read;
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
    item.file_bytes = take_file_bytes(source);
    return;
  }
  item.file = source.next_file - 1;
  if (read_block(source.reader, item.bytes, item.length, source.block_size)) {
    item.kind = ItemKind::block;
    item.file_bytes = take_file_bytes(source);
    return;
  }
  if (source.reader.read_errno != 0) return fail(source, item, InputErrorKind::data_cannot_read);
  item.kind = ItemKind::file_end;
  item.file_bytes = take_file_bytes(source);
  close_file_reader(source.reader);
  source.reading = false;
}

void close_block_source(BlockSource& source) {
  close_file_reader(source.reader);
  source.reading = false;
}

}  // namespace pctlfit
