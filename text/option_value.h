#pragma once
// The options of both programs that take a value, in their GNU forms: "--name=VALUE",
// "--name VALUE", and with a short name "-n VALUE" and "-nVALUE".

#include <string>
#include <string_view>
#include <vector>

namespace pctlfit {

enum class OptionMatch {
  other,          // args[i] is not this option
  value,          // it is, with its value
  missing_value,  // it is, but the command line ends before its value
};

struct OptionValue {
  OptionMatch match = OptionMatch::other;
  std::string value;
};

// Whether args[i] is the option `long_name` (without its "--") or `short_name` ("-o", or
// nullptr for none); a value in the next word moves `i` past it.
inline OptionValue option_value(const std::vector<std::string>& args, size_t& i,
                                const char* short_name, std::string_view long_name) {
  const std::string& arg = args[i];
  const std::string long_form = "--" + std::string(long_name);
  const std::string_view short_form = short_name != nullptr ? short_name : "";
  if (arg.starts_with(long_form + "="))
    return {OptionMatch::value, arg.substr(long_form.size() + 1)};
  if (arg == long_form || (!short_form.empty() && arg == short_form)) {
    if (i + 1 == args.size()) return {OptionMatch::missing_value, {}};
    return {OptionMatch::value, args[++i]};
  }
  if (!short_form.empty() && arg.starts_with(short_form) && !arg.starts_with("--")) {
    return {OptionMatch::value, arg.substr(short_form.size())};  // -oFILE
  }
  return {};
}

}  // namespace pctlfit
