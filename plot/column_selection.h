#pragma once
// Which report columns a chart shows, as the user names them on the command line.

#include <string>
#include <vector>

namespace pctlfit::plot {

// The columns (1-based, in the order named) that `words` name: numbers ("3"), ranges ("61-120")
// and comma-separated lists of both ("1,5,9-12"), and headings ("SB042") when `headings` are
// known; every column when `words` is empty. Numbers are taken before headings. False with the
// first word or item that names no column in `bad`.
bool select_columns(const std::vector<std::string>& words, size_t available,
                    const std::vector<std::string>& headings, std::vector<int>& columns,
                    std::string& bad);

}  // namespace pctlfit::plot
