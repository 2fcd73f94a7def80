#include "run/output_files.h"

#include <cerrno>

#include "platform/platform.h"
#include "run/messages.h"
#include "run/run.h"
#include "text/str_ops.h"

namespace pctlfit {

namespace {

bool is_an_input(const RunContext& context, const std::string& name) {
  if (same_file(name, context.list_name)) return true;
  for (const std::string& entry : context.entries) {
    if (same_file(name, entry)) return true;
  }
  return false;
}

// True when the name rule cuts inside a folder name, so that the report lands in another folder
// than the list ('dir.a/list.txt' gives 'dir.sta').
bool report_leaves_the_list_folder(const std::string& list_name) {
  const int point = str_position(list_name, ".");
  if (point <= 0) return false;
  for (size_t i = static_cast<size_t>(point); i < list_name.size(); ++i) {
    if (is_path_separator(list_name[i])) return true;
  }
  return false;
}

ExitStatus open_output(const RunContext& context, const std::string& name, FilePtr& file) {
  file.reset(open_for_writing(name));
  if (file) return kExitOk;
  return report_cannot_open_report(context.console.out, context.console.err, name, errno);
}

}  // namespace

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
  return open_output(context, context.report_name, context.report);
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
  return open_output(context, context.table_name, context.table_file);
}

bool close_output(FilePtr& file, int& error_number) {
  std::FILE* released = file.release();
  bool written = std::fflush(released) == 0 && !std::ferror(released);
  if (!written && error_number == 0) error_number = errno;
  if (std::fclose(released) != 0 && written) {
    written = false;
    error_number = errno;
  }
  return written;
}

}  // namespace pctlfit
