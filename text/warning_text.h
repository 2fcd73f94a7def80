#pragma once
// The one form of every warning: "pctlfit: warning: WHERE: WHAT\n", where WHERE is a file, a
// file and line ("a.dat:7"), a column ("column 3"), or nothing.
//
// Where a warning's text goes, by what it is about:
// - a line or a file read (malformed records, headers, files without records): input/warnings.cpp;
// - the figures (values at or below the bound, months without values): stats/domain_check.cpp;
// - the command line and the prompt: run/messages.cpp;
// - a hint about a hand-made input (a header's label, a list in another folder): run/hints.cpp.

#include <string>
#include <string_view>

namespace pctlfit {

inline std::string warning_text(std::string_view where, std::string_view what) {
  std::string text = "pctlfit: warning: ";
  if (!where.empty()) text.append(where).append(": ");
  return text.append(what).append("\n");
}

// "FILE:LINE", where a line warning points.
inline std::string at_line(std::string_view file, long line) {
  return std::string(file) + ":" + std::to_string(line);
}

}  // namespace pctlfit
