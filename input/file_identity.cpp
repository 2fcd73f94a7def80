#include "input/file_identity.h"

#include <sys/stat.h>

#include <filesystem>

namespace pctlfit {

bool same_file(const std::string& a, const std::string& b) {
  struct stat stat_a {};
  struct stat stat_b {};
  const bool a_exists = ::stat(a.c_str(), &stat_a) == 0;
  const bool b_exists = ::stat(b.c_str(), &stat_b) == 0;
  if (a_exists && b_exists) return stat_a.st_dev == stat_b.st_dev && stat_a.st_ino == stat_b.st_ino;
  if (a_exists != b_exists) return false;
  std::error_code ec_a;
  std::error_code ec_b;
  const auto path_a = std::filesystem::weakly_canonical(a, ec_a);
  const auto path_b = std::filesystem::weakly_canonical(b, ec_b);
  return !ec_a && !ec_b && path_a == path_b;
}

std::string file_key(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }
  std::error_code ec;
  const auto normal = std::filesystem::weakly_canonical(path, ec);
  return "path " + (ec ? path : normal.string());
}

}  // namespace pctlfit
