#include "run/options.h"

#include <algorithm>
#include <cmath>

#include "input/record/number_scan.h"
#include "stats/families.h"
#include "text/option_value.h"

namespace pctlfit {

std::optional<double> parse_whole_number(const std::string& text) {
  const char* end = text.data() + text.size();
  double value = 0;
  const char* parsed_end = scan_double(text.data(), end, value);
  if (parsed_end != end) return std::nullopt;
  return value;
}

bool starts_with_number(const std::string& text) {
  double value = 0;
  return scan_double(text.data(), text.data() + text.size(), value) != nullptr;
}

namespace {

bool read_lower_limit_option(const std::string& text, Options& options, std::string& error) {
  if (text == "auto") {
    options.lower_limit_per_cell = true;
    return true;
  }
  const std::optional<double> limit = parse_whole_number(text);
  if (!limit || !std::isfinite(*limit)) {
    error = "pctlfit: lower limit \"" + text + "\" is not a number";
    return false;
  }
  options.lower_limit = limit;
  return true;
}

// "GAM", "best", ...: the family of the figures.
bool read_fit_option(const std::string& text, Options& options, std::string& error) {
  if (text == "best") {
    options.fit_best = true;
    return true;
  }
  if (!fit_family_named(text)) {
    error = "pctlfit: --fit=" + text + " is none of NV, LN2, LN3, GAM, P3, LP3 and best";
    return false;
  }
  options.fit = text;
  return true;
}

// An option with a value into `value`; false with the message when its value is missing.
bool take_value(const OptionValue& option, const std::string& arg,
                std::optional<std::string>& value, std::string& error) {
  if (option.match == OptionMatch::missing_value) {
    error = "pctlfit: option " + arg + " needs a value";
    return false;
  }
  value = option.value;
  return true;
}

// "1,10,25.5,99": levels in percent, each above 0 and below 100, none twice, at most
// kMostLevels of them: each is a column of the table, and a window of every cell in the passes
// that narrow the sample percentiles.
constexpr size_t kMostLevels = 1000;
bool read_levels_option(const std::string& text, Options& options, std::string& error) {
  std::vector<double> levels;
  for (size_t start = 0; start <= text.size();) {
    if (levels.size() == kMostLevels) {
      error = "pctlfit: --levels: more than " + std::to_string(kMostLevels) + " levels";
      return false;
    }
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const std::optional<double> level = parse_whole_number(item);
    const std::string named = "pctlfit: --levels: ";
    if (item.empty()) {
      error = named + "an empty item in \"" + text + "\"";
    } else if (!level) {
      error = named + "\"" + item + "\" is not a number";
    } else if (!(*level > 0 && *level < 100)) {
      error = named + "level " + item + " is not above 0 and below 100";
    } else if (std::find(levels.begin(), levels.end(), *level) != levels.end()) {
      error = named + "level " + item + " is given twice";
    }
    if (!error.empty()) return false;
    levels.push_back(*level);
    start = comma + 1;
  }
  options.levels = levels;
  return true;
}

bool read_sample_option(const std::string& text, Options& options, std::string& error) {
  options.sample = find_sample_method(text);
  if (!options.sample) {
    error = "pctlfit: --sample: \"" + text + "\" is none of " + sample_method_names();
  }
  return options.sample.has_value();
}

// --ci alone (90 %) or --ci=LEVEL: a confidence in percent, above 0 and below 100. The level
// stands only after "=": a word after --ci is the list file.
bool read_ci_option(const std::string& arg, Options& options, std::string& error) {
  if (arg == "--ci") {
    options.ci = 90.0;
    return true;
  }
  const std::string text = arg.substr(std::string("--ci=").size());
  const std::optional<double> level = parse_whole_number(text);
  if (text.empty()) {
    error = "pctlfit: --ci: an empty level";
  } else if (!level) {
    error = "pctlfit: --ci: \"" + text + "\" is not a number";
  } else if (!(*level > 0 && *level < 100)) {
    error = "pctlfit: --ci: level " + text + " is not above 0 and below 100";
  }
  if (!error.empty()) return false;
  options.ci = level;
  return true;
}

// "64M", "1G", "512K", "1000000": bytes, at least 1 KiB.
bool read_memory_option(const std::string& text, Options& options, std::string& error) {
  uint64_t factor = 1;
  std::string number = text;
  if (!number.empty() && std::string("KMG").find(number.back()) != std::string::npos) {
    factor = uint64_t{1} << (10 * (1 + std::string("KMG").find(number.back())));
    number.pop_back();
  }
  const std::optional<double> value = parse_whole_number(number);
  if (!value || !(*value * double(factor) >= 1024) || *value * double(factor) > 1e18) {
    error = "pctlfit: --memory: \"" + text + "\" is not a size of at least 1K (K, M, G)";
    return false;
  }
  options.memory = static_cast<uint64_t>(*value * double(factor));
  return true;
}

bool read_layout_option(const std::string& text, Options& options, std::string& error) {
  if (text == "standard" || text == "date") {
    options.layout = text == "date" ? FileLayout::date : FileLayout::standard;
    return true;
  }
  error = "pctlfit: layout \"" + text + "\" is none of standard and date";
  return false;
}

void note_table_only(Options& options, const char* name) {
  if (!options.table_only) options.table_only = name;
}

// An option that only changes the figure table (--memory, --sample=METHOD, --levels) at args[i]
// (i may advance past its value): `matched` tells whether args[i] is one. False on a usage
// error.
bool parse_table_option(const std::vector<std::string>& args, size_t& i, Options& options,
                        bool& matched, std::string& error) {
  const std::string arg = args[i];
  matched = true;
  std::optional<std::string> text;
  if (const OptionValue memory = option_value(args, i, nullptr, "memory");
      memory.match != OptionMatch::other) {
    note_table_only(options, "--memory");
    return take_value(memory, arg, text, error) && read_memory_option(*text, options, error);
  }
  if (arg.starts_with("--sample=")) {
    note_table_only(options, "--sample");
    return read_sample_option(arg.substr(9), options, error);
  }
  if (const OptionValue levels = option_value(args, i, nullptr, "levels");
      levels.match != OptionMatch::other) {
    note_table_only(options, "--levels");
    return take_value(levels, arg, text, error) && read_levels_option(*text, options, error);
  }
  matched = false;
  return true;
}

// An option that takes a value at args[i] (i may advance past it): `matched` tells whether
// args[i] is one. False on a usage error.
bool parse_valued_option(const std::vector<std::string>& args, size_t& i, Options& options,
                         bool& matched, std::string& error) {
  const std::string arg = args[i];
  matched = true;
  std::optional<std::string> text;
  if (const OptionValue limit = option_value(args, i, "-l", "lower-limit");
      limit.match != OptionMatch::other) {
    return take_value(limit, arg, text, error) && read_lower_limit_option(*text, options, error);
  }
  if (const OptionValue output = option_value(args, i, "-o", "output");
      output.match != OptionMatch::other) {
    return take_value(output, arg, options.output, error);
  }
  if (const OptionValue table = option_value(args, i, nullptr, "table");
      table.match != OptionMatch::other) {
    return take_value(table, arg, options.table, error);
  }
  if (const OptionValue layout = option_value(args, i, nullptr, "layout");
      layout.match != OptionMatch::other) {
    return take_value(layout, arg, text, error) && read_layout_option(*text, options, error);
  }
  if (const OptionValue fit = option_value(args, i, nullptr, "fit");
      fit.match != OptionMatch::other) {
    return take_value(fit, arg, text, error) && read_fit_option(*text, options, error);
  }
  return parse_table_option(args, i, options, matched, error);
}

// One option at args[i] (i may advance past its value). False on a usage error.
bool parse_option(const std::vector<std::string>& args, size_t& i, Options& options,
                  std::string& error) {
  const std::string arg = args[i];
  if (arg == "-h" || arg == "--help") {
    options.help = true;
  } else if (arg == "--version") {
    options.version = true;
  } else if (arg == "-q" || arg == "--quiet") {
    options.quiet = true;
  } else if (arg == "--strict") {
    options.strict = true;
  } else if (arg == "--check-fit") {
    options.check_fit = true;
  } else if (arg == "--sample") {
    note_table_only(options, "--sample");
    options.sample = default_sample_method();
  } else if (arg == "--ci" || arg.starts_with("--ci=")) {
    note_table_only(options, "--ci");
    return read_ci_option(arg, options, error);
  } else if (arg == "--compare-fits") {
    options.compare_fits = true;
  } else if (arg == "--zeros") {
    options.zeros = true;
  } else {
    bool matched = false;
    const bool parsed = parse_valued_option(args, i, options, matched, error);
    if (!matched) error = "pctlfit: unknown option " + arg + " (pctlfit --help lists the options)";
    return parsed && matched;
  }
  return true;
}

}  // namespace

bool parse_options(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> words;  // the list file, the mode word, and words to ignore
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // After "--", and for "-" alone, a word is a name, as with GNU programs.
    if (options_end || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (!parse_option(args, i, options, error)) {
      return false;
    }
  }
  if (!words.empty()) options.list_name = words[0];
  if (words.size() > 1) options.mode_word = words[1];
  if (words.size() > 2) options.ignored_words.assign(words.begin() + 2, words.end());
  if (options.table_only && !options.table && !options.help && !options.version) {
    error =
        "pctlfit: " + *options.table_only + " writes its figures to the table: add --table FILE";
    return false;
  }
  return true;
}

}  // namespace pctlfit
