#pragma once

#include <string>

namespace pctlfit {

// True when the two names lead to the same file: the same device and inode where both exist,
// otherwise the same path once made absolute and normal (so 'a.sta' and './a.sta' agree).
bool same_file(const std::string& a, const std::string& b);

// A text that is the same for two names exactly when same_file holds for them.
std::string file_key(const std::string& path);

}  // namespace pctlfit
