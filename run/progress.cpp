#include "run/progress.h"

namespace pctlfit {

std::string format_progress(const PassProgress& progress) {
  char megabytes[64];
  std::snprintf(megabytes, sizeof megabytes, "%.1f of %.1f",
                static_cast<double>(progress.bytes_read) / 1e6,
                static_cast<double>(progress.bytes_total) / 1e6);
  std::string pass;
  if (progress.pass != nullptr) {
    pass.append(progress.pass);
    if (progress.pass_number > 0) pass.append(" ").append(std::to_string(progress.pass_number));
    pass.append(": ");
  }
  return "pctlfit: " + pass + std::to_string(progress.files_done) + " of " +
         std::to_string(progress.files_total) + " files, " + *progress.file + ", " + megabytes +
         " MB read";
}

void update_progress(ProgressLine& line, const PassProgress& progress) {
  const auto now = std::chrono::steady_clock::now();
  if (line.shown && now - line.last_update < std::chrono::milliseconds(100)) return;
  line.last_update = now;
  line.shown = true;
  std::fprintf(line.out, "%s%s", line.erase, format_progress(progress).c_str());
  std::fflush(line.out);
}

void clear_progress(ProgressLine& line) {
  if (!line.shown) return;
  std::fputs(line.erase, line.out);
  std::fflush(line.out);
  line.shown = false;
}

}  // namespace pctlfit
