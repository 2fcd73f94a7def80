#include "passes/engine/file_opening.h"

#include <mutex>
#include <utility>
#include <vector>

#include "input/header.h"
#include "input/record/record_parser.h"
#include "platform/platform.h"

namespace pctlfit {

namespace {

FileOpening failure(LineSplitter& splitter, InputErrorKind kind, const std::string& path) {
  FileOpening opening;
  opening.error = stream_error(splitter, kind, path);
  close_splitter(splitter);
  return opening;
}

// A plain regular file's records are read at offsets: the opening keeps the file open for the
// extents, the splitter lets go of it.
void read_on_at_offsets(LineSplitter& splitter, FileOpening& opening) {
  TextStream& stream = splitter.stream;
  uint64_t size = 0;
  // Carriage returns become line ends in the stream only.
  if (stream.format != nullptr || splitter.cr_line_ends || !regular_file_size(stream.fd, size)) {
    return;
  }
  auto file = std::make_shared<PositionedFile>();
  file->fd = std::exchange(stream.fd, -1);
  file->end = size;
  opening.positioned = std::move(file);
  opening.records_offset = text_consumed(splitter);
  opening.bytes = opening.records_offset;
}

// The third header line is read this far to tell whether it is a record; a longer one is not
// judged (the rest of it is skipped, as before).
constexpr size_t kLongestThirdLine = 1 << 16;

// Whether a line reads as a record of the file's own columns (one at least).
bool reads_as_record(const std::string& line, int columns) {
  const int wanted = columns > 0 ? columns : 1;
  std::vector<double> values(static_cast<size_t>(wanted));
  return parse_record(line, wanted, values.data()).status == RecordStatus::record;
}

// The pipe handed over, for the one opening that takes it.
std::mutex handed_over_lock;
std::string handed_over_path;
OpenedFirstFile handed_over;

bool take_handed_over(const std::string& path, LineSplitter& splitter, Line& header) {
  std::lock_guard lock(handed_over_lock);
  if (!handed_over.open || path != handed_over_path) return false;
  close_splitter(splitter);
  splitter = std::move(handed_over.splitter);
  header = handed_over.header;
  handed_over.open = false;
  return true;
}

}  // namespace

void hand_over_opened(const std::string& path, OpenedFirstFile&& opened) {
  std::lock_guard lock(handed_over_lock);
  handed_over_path = path;
  handed_over = std::move(opened);
}

void forget_handed_over() {
  std::lock_guard lock(handed_over_lock);
  if (handed_over.open) close_splitter(handed_over.splitter);
  handed_over.open = false;
}

InputError stream_error(const LineSplitter& splitter, InputErrorKind kind,
                        const std::string& path) {
  const TextStream& stream = splitter.stream;
  const int error_number =
      kind == InputErrorKind::data_cannot_open ? stream.open_errno : stream.read_errno;
  return {kind, path, error_number, stream.problem};
}

FileOpening open_listed_file(LineSplitter& splitter, const std::string& path, Line& header,
                             bool read_at_offsets, FileLayout layout) {
  const bool handed_over_here = take_handed_over(path, splitter, header);
  if (!handed_over_here && !open_splitter(splitter, path)) {
    return failure(splitter, InputErrorKind::data_cannot_open, path);
  }
  FileOpening opening;
  const bool has_header =
      handed_over_here || (skip_line(splitter) && read_line(splitter, header, kLongestHeaderLine));
  if (has_header && header.cut) return failure(splitter, InputErrorKind::header_too_long, path);
  if (has_header) {
    opening.header_columns = count_header_columns(header.text, header.had_newline, layout);
    opening.headings = column_headings(header.text, header.had_newline, layout);
  }
  if (layout == FileLayout::date) {
    opening.has_records = has_header;
  } else {
    const bool dated_header = has_header && header.text.starts_with("DATE");
    opening.has_records = has_header && read_line(splitter, header, kLongestThirdLine);
    if (opening.has_records && !header.cut) {
      opening.third_line_is_record = reads_as_record(header.text, opening.header_columns);
      opening.third_line_is_dated = dated_header && starts_with_date(header.text);
    }
  }
  if (read_failed(splitter)) return failure(splitter, InputErrorKind::data_cannot_read, path);
  opening.bytes = splitter.stream.bytes_read;
  opening.cr_line_ends = splitter.cr_line_ends;
  // A third line cut short is skipped by the stream's next read: the records start later.
  if (opening.has_records && read_at_offsets && !header.cut) read_on_at_offsets(splitter, opening);
  if (!opening.has_records || opening.positioned) close_splitter(splitter);
  return opening;
}

}  // namespace pctlfit
