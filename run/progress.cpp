#include "run/progress.h"

namespace pctlfit {

std::string format_progress(size_t files_done, size_t files_total, const std::string& file,
                            uint64_t bytes_read) {
  char megabytes[32];
  std::snprintf(megabytes, sizeof megabytes, "%.1f", static_cast<double>(bytes_read) / 1e6);
  return "pctlfit: " + std::to_string(files_done) + " of " + std::to_string(files_total) +
         " files, " + file + ", " + megabytes + " MB read";
}

void update_progress(void* context, size_t files_done, size_t files_total, const std::string& file,
                     uint64_t bytes_read) {
  ProgressLine& line = *static_cast<ProgressLine*>(context);
  const auto now = std::chrono::steady_clock::now();
  if (line.shown && now - line.last_update < std::chrono::milliseconds(100)) return;
  line.last_update = now;
  line.shown = true;
  std::fprintf(line.out, "%s%s", kEraseLine,
               format_progress(files_done, files_total, file, bytes_read).c_str());
  std::fflush(line.out);
}

void clear_progress(ProgressLine& line) {
  if (!line.shown) return;
  std::fputs(kEraseLine, line.out);
  std::fflush(line.out);
  line.shown = false;
}

}  // namespace pctlfit
