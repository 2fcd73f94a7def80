#pragma once
// A progress line on standard error, for a person at a terminal: rewritten in place, cleared at
// the end. Scripts and logs, whose standard error is no terminal, never see it.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "passes/engine/pass_setup.h"

namespace pctlfit {

// "pctlfit: 3 of 40 files, member003.dat, 12.5 of 150.0 MB read", a later pass named
// ("pctlfit: sample pass 2: 3 of 40 files, ...")
std::string format_progress(const PassProgress& progress);

struct ProgressLine {
  std::FILE* out = nullptr;
  const char* erase = "\r\x1b[K";  // what replaces the line (the terminal's own)
  bool shown = false;
  std::chrono::steady_clock::time_point last_update{};
};

// Rewrites the line, at most ten times a second.
void update_progress(ProgressLine& line, const PassProgress& progress);
// Erases the line, if it was shown.
void clear_progress(ProgressLine& line);

}  // namespace pctlfit
