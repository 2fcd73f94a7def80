#pragma once
// Helpers for tests that work with files: a temporary directory, file contents, running pctlfit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "run/run.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

namespace pctlfit::test {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A fresh directory, removed with everything in it at the end of the test. Its name holds no
// point, so report names derived from paths in it are not cut early.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    do {
      path = base / ("pctlfit_test_" + std::to_string(random() % 1000000000000ULL));
    } while (!std::filesystem::create_directory(path));
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// A test with a fresh directory of its own.
class WithTempDir : public ::testing::Test {
 protected:
  TempDir dir;
  // Writes the file `name` in the directory; returns its path.
  std::string file(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }
};

// Changes into a directory for the scope, so that relative names work as for a user.
struct ScopedChdir {
  std::filesystem::path previous = std::filesystem::current_path();
  explicit ScopedChdir(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
  ~ScopedChdir() { std::filesystem::current_path(previous); }
};

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The file's bytes as they are.
inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The file's text: on Windows, where the programs write text mode, with CR LF read as LF.
inline std::string read_file(const std::string& path) {
  std::string text = read_bytes(path);
  if (!kWindows) return text;
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
  }
  return lf;
}

// A data file: three header lines naming `columns` columns, then `records`.
inline std::string data_file(int columns, const std::string& records) {
  std::string header = "YYYY MM DD H";
  for (int c = 1; c <= columns; ++c) header += "\tQ" + std::to_string(c);
  return "monthly values\n" + header + "\nm3/s\n" + records;
}

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string read_stream(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

// Runs pctlfit in this process, with `input` as standard input.
inline RunResult run_in_process(const std::vector<std::string>& args,
                                const std::string& input = "") {
  Console console{std::tmpfile(), std::tmpfile(), std::tmpfile()};
  std::fputs(input.c_str(), console.in);
  std::rewind(console.in);
  RunResult result;
  result.status = run_pctlfit(args, console);
  std::fclose(console.in);
  result.out = read_stream(console.out);
  result.err = read_stream(console.err);
  return result;
}

// Runs the built binary in `dir` through the shell (cmd on Windows); `args` are inserted as they
// stand; `env` is one "NAME=VALUE" or empty.
inline RunResult run_binary(const TempDir& dir, const std::string& args,
                            const std::string& input = "", const std::string& env = "") {
  write_file(dir / ".stdin", input);
#ifdef _WIN32
  const std::string set = env.empty() ? "" : "set " + env + "&& ";
  const std::string command = "cd /d \"" + dir.path.string() + "\" && " + set + "\"" +
                              std::filesystem::path(PCTLFIT_BINARY).make_preferred().string() +
                              "\" " + args + " < .stdin > .stdout 2> .stderr";
  const int raw = std::system(("\"" + command + "\"").c_str());  // cmd /c strips outer quotes
  RunResult result;
  result.status = raw;
#else
  const std::string command = "cd '" + dir.path.string() + "' && " + env +
                              " '" PCTLFIT_BINARY "' " + args + " < .stdin > .stdout 2> .stderr";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  result.out = read_file(dir / ".stdout");
  result.err = read_file(dir / ".stderr");
  return result;
}

// Windows opens no folder as a file: where POSIX systems fail to read one, it fails to open it.
constexpr bool kFolderOpens = !kWindows;

inline const std::string kBanner =
    "pctlfit: calculating percentiles for \n"
    "5%, 50% und 95% for time series of monthly values (e.g. results from sumflow)\n"
    "For each time series, a LN3-distribution is fitted to the data (with a given lower limit)\n"
    "All input-files has to have the same number of columns and the same subbasin structure\n";

// The largest resident size of any program this test ran and waited for, in MiB; 0 where the
// system does not tell.
inline double children_peak_mib() {
#ifdef _WIN32
  return 0;
#else
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
#endif
}

// The standard normal quantile of q by bisection of erfc: slow, and independent of the
// program's own.
inline double bisected_quantile(double q) {
  double low = -10.0, high = 10.0;
  for (int i = 0; i < 200; ++i) {
    const double mid = (low + high) / 2;
    (0.5 * std::erfc(-mid / std::sqrt(2.0)) < q ? low : high) = mid;
  }
  return (low + high) / 2;
}

}  // namespace pctlfit::test
