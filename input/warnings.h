#pragma once
// Warnings about malformed input, on standard error, so that standard output stays as it is.

#include <cstdio>
#include <string>
#include <string_view>

namespace pctlfit {

// "pctlfit: warning: FILE:LINE: WHAT\n"
std::string format_line_warning(std::string_view file, long line, std::string_view what);
// "pctlfit: warning: FILE: WHAT\n"
std::string format_file_warning(std::string_view file, std::string_view what);

// Line warnings shown per file; more are counted only.
constexpr int kLineWarningsShownPerFile = 20;

// Writes warnings, at most `per_file_limit` line warnings per file; the rest of a file's are
// counted and summed up in one line when the file ends.
struct WarningSink {
  std::FILE* out = nullptr;  // nullptr: warnings are dropped
  const char* prefix = "";   // written before each warning (erases a progress line)
  int per_file_limit = kLineWarningsShownPerFile;
  int shown_in_file = 0;
  long suppressed_in_file = 0;
  long total = 0;  // every warning given, shown or not
};

void warn_line(WarningSink& sink, std::string_view file, long line, std::string_view what);
// Counts `count` line warnings of the current file that are known not to be shown.
void count_unshown_warnings(WarningSink& sink, long count);
void warn_file(WarningSink& sink, std::string_view file, std::string_view what);
// Writes the summary line of a file's suppressed warnings, if any, and starts counting anew.
void end_file_warnings(WarningSink& sink, std::string_view file);

}  // namespace pctlfit
