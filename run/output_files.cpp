#include "run/output_files.h"

#include <algorithm>
#include <cerrno>

#include "input/stream/line_splitter.h"
#include "platform/platform.h"
#include "report/report_writer.h"
#include "run/messages.h"

namespace pctlfit {

namespace {

bool is_an_input(const RunContext& context, const std::string& name) {
  if (same_file(name, context.list_name)) return true;
  for (const std::string& entry : context.entries) {
    if (same_file(name, entry)) return true;
  }
  return false;
}

// Where the report name rule cuts the list's name: at its first point, unless that is its first
// character; npos for no cut.
size_t report_name_cut(const std::string& list_name) {
  const size_t point = list_name.find('.');
  return point == 0 ? std::string::npos : point;
}

// True when the name rule cuts inside a folder name, so that the report lands in another folder
// than the list ('dir.a/list.txt' gives 'dir.sta').
bool report_leaves_the_list_folder(const std::string& list_name) {
  const size_t point = report_name_cut(list_name);
  if (point == std::string::npos) return false;
  return std::any_of(list_name.begin() + static_cast<std::ptrdiff_t>(point), list_name.end(),
                     is_path_separator);
}

// The second line of an existing report, at most `bound` bytes of it; empty when there is none.
std::string existing_title_line(const std::string& path, size_t bound) {
  LineSplitter splitter;
  Line line;
  const bool read =
      open_splitter(splitter, path) && skip_line(splitter) && read_line(splitter, line, bound);
  close_splitter(splitter);
  return read && !line.cut ? line.text : std::string();
}

// Scripts rely on the name rule, so the run goes on; but a report of other files that is about
// to be replaced (two lists named alike up to their first point) is named first.
void warn_if_replacing_other_files(RunContext& context) {
  uint64_t size = 0;
  if (!file_size(context.report_name, size)) return;
  std::string names;
  for (const std::string& entry : context.entries) names += entry + ' ';
  const std::string title = existing_title_line(context.report_name, names.size() + 128);
  if (!title_names_other_files(title, context.entries)) return;
  // About the outputs, not the input: --strict does not count it.
  std::fputs(report_replaced_warning(context.report_name).c_str(), context.console.err);
}

// Opens the output `name`: a regular file (or none yet) under a temporary name beside it, a
// device in place. A FIFO is refused: a report is a file, and a FIFO would block the run.
ExitStatus open_output(const RunContext& context, const std::string& name, FilePtr& file,
                       PendingOutput& pending) {
  const FileKind target = file_kind(name);
  if (target == FileKind::fifo) {
    return report_output_not_a_file(context.console.out, context.console.err, name);
  }
  if (target == FileKind::other) {
    file.reset(open_for_writing(name));
  } else {
    pending.target = followed_links(name);
    file.reset(create_beside(pending.target, pending.temporary));
    if (file) remove_when_interrupted(pending.temporary);
  }
  if (file) return kExitOk;
  pending = {};
  return report_cannot_open_report(context.console.out, context.console.err, name, errno);
}

std::optional<WriteFailure> commit(PendingOutput& pending, const std::string& name) {
  if (pending.temporary.empty()) return std::nullopt;
  const bool replaced = replace_with(pending.temporary, pending.target);
  const int error_number = errno;
  if (!replaced) remove_file(pending.temporary);
  forget_when_interrupted(pending.temporary);
  pending = {};
  if (replaced) return std::nullopt;
  return WriteFailure{name, error_number};
}

void discard(FilePtr& file, PendingOutput& pending) {
  file.reset();
  if (pending.temporary.empty()) return;
  remove_file(pending.temporary);
  forget_when_interrupted(pending.temporary);
  pending = {};
}

}  // namespace

std::string derive_report_name(const std::string& list_name) {
  return list_name.substr(0, report_name_cut(list_name)) + ".sta";
}

ExitStatus open_report(RunContext& context, const Options& options) {
  if (options.output) {
    context.report_name = *options.output;
  } else {
    context.report_name = derive_report_name(context.list_name);
    if (report_leaves_the_list_folder(context.list_name)) {
      std::fputs(report_placement_warning(context.report_name).c_str(), context.console.err);
    }
  }
  if (is_an_input(context, context.report_name)) {
    return report_report_is_input(context.console.out, context.report_name);
  }
  warn_if_replacing_other_files(context);
  return open_output(context, context.report_name, context.report, context.report_pending);
}

ExitStatus open_table(RunContext& context, const Options& options) {
  if (!options.table) return kExitOk;
  context.table_name = *options.table;
  if (is_an_input(context, context.table_name)) {
    return report_report_is_input(context.console.out, context.table_name);
  }
  if (same_file(context.table_name, context.report_name)) {
    return report_table_is_report(context.console.out, context.table_name);
  }
  return open_output(context, context.table_name, context.table_file, context.table_pending);
}

std::optional<WriteFailure> commit_outputs(RunContext& context) {
  std::optional<WriteFailure> failure = commit(context.report_pending, context.report_name);
  if (!failure) failure = commit(context.table_pending, context.table_name);
  return failure;
}

void discard_unfinished_outputs(RunContext& context) {
  discard(context.report, context.report_pending);
  discard(context.table_file, context.table_pending);
}

std::optional<WriteFailure> finish_output(FilePtr& file, const std::string& name, int write_error) {
  std::FILE* released = file.release();
  const bool flushed = std::fflush(released) == 0 && !std::ferror(released);
  int error_number = write_error != 0 ? write_error : (flushed ? 0 : errno);
  const bool closed = std::fclose(released) == 0;
  if (!closed && error_number == 0) error_number = errno;
  if (write_error == 0 && flushed && closed) return std::nullopt;
  return WriteFailure{name, error_number};
}

}  // namespace pctlfit
