#include "input/warnings.h"

namespace pctlfit {

std::string format_line_warning(std::string_view file, long line, std::string_view what) {
  std::string text = "pctlfit: warning: ";
  text.append(file).append(":").append(std::to_string(line)).append(": ");
  text.append(what).append("\n");
  return text;
}

std::string format_file_warning(std::string_view file, std::string_view what) {
  std::string text = "pctlfit: warning: ";
  text.append(file).append(": ").append(what).append("\n");
  return text;
}

namespace {
void emit(WarningSink& sink, const std::string& text) {
  if (sink.out == nullptr) return;
  std::fputs(sink.prefix, sink.out);
  std::fwrite(text.data(), 1, text.size(), sink.out);
}
}  // namespace

void warn_line(WarningSink& sink, std::string_view file, long line, std::string_view what) {
  ++sink.total;
  if (sink.shown_in_file >= sink.per_file_limit) {
    ++sink.suppressed_in_file;
    return;
  }
  ++sink.shown_in_file;
  emit(sink, format_line_warning(file, line, what));
}

void count_unshown_warnings(WarningSink& sink, long count) {
  sink.total += count;
  sink.suppressed_in_file += count;
}

void warn_file(WarningSink& sink, std::string_view file, std::string_view what) {
  ++sink.total;
  emit(sink, format_file_warning(file, what));
}

void end_file_warnings(WarningSink& sink, std::string_view file) {
  if (sink.suppressed_in_file > 0) {
    emit(sink, format_file_warning(
                   file, std::to_string(sink.suppressed_in_file) + " more warnings not shown"));
  }
  sink.shown_in_file = 0;
  sink.suppressed_in_file = 0;
}

}  // namespace pctlfit
