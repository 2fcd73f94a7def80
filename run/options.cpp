#include "run/options.h"

#include <cmath>

#include "input/number_scan.h"

namespace pctlfit {

std::optional<double> parse_whole_number(const std::string& text) {
  const char* end = text.data() + text.size();
  double value = 0;
  const char* parsed_end = scan_double(text.data(), end, value);
  if (parsed_end != end) return std::nullopt;
  return value;
}

namespace {

// An option that takes a value: "-o FILE", "-oFILE", "--output=FILE", "--output FILE" (the short
// forms only when `short_name` is not null). Returns
// true when args[i] is this option; then `value` is set, or `error` when it is missing.
bool option_value(const std::vector<std::string>& args, size_t& i, const char* short_name,
                  const std::string& long_name, std::optional<std::string>& value,
                  std::string& error) {
  const std::string& arg = args[i];
  const std::string long_form = "--" + long_name;
  std::string attached;
  if (arg.starts_with(long_form + "=")) {
    value = arg.substr(long_form.size() + 1);
    return true;
  }
  if (arg != long_form && (short_name == nullptr || arg != short_name)) {
    if (short_name == nullptr || !arg.starts_with(short_name) || arg.starts_with("--")) {
      return false;
    }
    value = arg.substr(2);  // -oFILE
    return true;
  }
  if (i + 1 == args.size()) {
    error = "pctlfit: option " + arg + " needs a value";
    return true;
  }
  value = args[++i];
  return true;
}

bool read_lower_limit_option(const std::string& text, Options& options, std::string& error) {
  const std::optional<double> limit = parse_whole_number(text);
  if (!limit || !std::isfinite(*limit)) {
    error = "pctlfit: lower limit \"" + text + "\" is not a number";
    return false;
  }
  options.lower_limit = limit;
  return true;
}

// One option at args[i] (i may advance past its value). False on a usage error.
bool parse_option(const std::vector<std::string>& args, size_t& i, Options& options,
                  std::string& error) {
  const std::string& arg = args[i];
  std::optional<std::string> value;
  if (arg == "-h" || arg == "--help") {
    options.help = true;
  } else if (arg == "--version") {
    options.version = true;
  } else if (arg == "-q" || arg == "--quiet") {
    options.quiet = true;
  } else if (arg == "--strict") {
    options.strict = true;
  } else if (option_value(args, i, "-l", "lower-limit", value, error)) {
    return error.empty() && read_lower_limit_option(*value, options, error);
  } else if (option_value(args, i, "-o", "output", value, error)) {
    if (error.empty()) options.output = value;
    return error.empty();
  } else if (option_value(args, i, nullptr, "table", value, error)) {
    if (error.empty()) options.table = value;
    return error.empty();
  } else {
    error = "pctlfit: unknown option " + arg + " (pctlfit --help lists the options)";
    return false;
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
  return true;
}

}  // namespace pctlfit
