#pragma once
// The command line: GNU-style options anywhere ("--" ends them), and among the other words the
// list file name, an optional mode word and further words, which are ignored with a warning.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input/layout.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

struct Options {
  bool help = false;
  bool version = false;
  bool quiet = false;                        // no banner, no "ready.."
  bool strict = false;                       // warnings about the input fail the run
  bool check_fit = false;                    // a second pass holds every fit against its own values
  std::optional<double> lower_limit;         // LN3's limit without the prompt
  bool lower_limit_per_cell = false;         // -l auto: LN3's bound fitted per column and month
  // --fit: the family whose figures the report and table give (a --fit word: NV ... LP3)
  std::optional<std::string> fit;
  bool fit_best = false;  // --fit=best: per cell, the family with the least AIC
  std::optional<std::string> output;         // the report's name instead of the derived one
  std::optional<std::string> table;          // the figure table's name
  FileLayout layout = FileLayout::standard;  // --layout
  std::vector<double> levels = {5, 50, 95};  // --levels: percent, for the figure table
  std::optional<SampleMethod> sample;        // --sample: the sample percentiles' method
  uint64_t memory = uint64_t{1} << 30;       // --memory: what the sample percentiles may hold
  bool compare_fits = false;                 // every mode's AIC per column and month
  bool zeros = false;                        // values at the bound as a mass of their own
  std::optional<double> ci;                  // --ci: the intervals' confidence, in percent
  // The first option given that only changes the figure table (--sample, --levels, --memory,
  // --ci):
  // without --table it would do nothing, so it is a usage error.
  std::optional<std::string> table_only;
  std::optional<std::string> list_name;
  std::optional<std::string> mode_word;
  std::vector<std::string> ignored_words;  // after the mode word
};

// Parses `args` (without the program name). False on a usage error, with its one-line message
// (no newline) in `error`; `options` then holds what was read before it.
bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error);

// Whether `text` starts with a number as the C library's scan reads one ("0,5" does, "x" not).
bool starts_with_number(const std::string& text);

// A number as a whole word ("0.5", "-1e3"; not "0.5x", not empty), finite; for -l and the prompt.
std::optional<double> parse_whole_number(const std::string& text);

}  // namespace pctlfit
