// Fuzzes a whole run: a list file and two data files made from the input, in a directory of
// their own. Properties: the exit status is a documented one and no input file changes.
// The fuzzer's working directory is never changed, so that corpus and crash paths given relative
// to it stay valid: the files are named by their full path instead, and each name in the list
// gets the directory put in front of it.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "run/run.h"
#include "text/c_locale.h"

namespace {

void write_file(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One directory for the whole session; its name holds no point, so the report's name is the
// list's with ".sta". The names in the list cannot leave it.
const std::string& work_directory() {
  static const std::string directory = [] {
    char pattern[] = "/tmp/pctlfit_fuzz_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    setenv("PCTLFIT_THREADS", "1", 1);
    return std::string(pattern) + "/";
  }();
  static const bool cleanup_registered = std::atexit([] {
                                           std::error_code ignored;
                                           std::filesystem::remove_all(directory, ignored);
                                         }) == 0;
  (void)cleanup_registered;
  return directory;
}

// The list as the run reads it: `directory` before the first word of each line, unless the
// word is a comment. Everything else (blank lines, a byte-order mark, what follows the
// word) stays as the fuzzer made it.
std::string with_directory(std::string_view list, const std::string& directory) {
  std::string result;
  if (list.starts_with("\xEF\xBB\xBF")) {
    result = "\xEF\xBB\xBF";
    list.remove_prefix(3);
  }
  while (!list.empty()) {
    const size_t line_end = std::min(list.find('\n'), list.size() - 1);
    const std::string_view line = list.substr(0, line_end + 1);
    size_t word = 0;
    while (word < line.size() && pctlfit::is_c_space(line[word])) ++word;
    result.append(line.substr(0, word));
    if (word < line.size() && line[word] != '#' && line[word] != '\0') result += directory;
    result.append(line.substr(word));
    list.remove_prefix(line.size());
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& directory = work_directory();
  FuzzedDataProvider input(data, size);
  static const char* const kModes[] = {"NV", "LN2", "LN3", "other"};
  const std::string mode = kModes[input.ConsumeIntegralInRange<int>(0, 3)];
  // The further passes and figures too, in any combination.
  const auto flags = input.ConsumeIntegral<uint8_t>();
  std::string list_text = input.ConsumeRandomLengthString(256);
  std::replace(list_text.begin(), list_text.end(), '/', '_');  // stay inside the directory
  const std::string list = with_directory(list_text, directory);
  const std::string first = input.ConsumeRandomLengthString(4096);
  const std::string second = input.ConsumeRemainingBytesAsString();
  const std::string list_path = directory + "list.txt";
  write_file(list_path, list);
  write_file(directory + "a.dat", first);
  write_file(directory + "b.dat", second);
  std::remove((directory + "list.sta").c_str());

  pctlfit::Console console{std::tmpfile(), std::tmpfile(), std::tmpfile()};
  std::fputs("0.5\n", console.in);
  std::rewind(console.in);
  std::vector<std::string> args = {list_path, mode};
  if (flags & 1) args.push_back("--check-fit");
  if (flags & 2) args.push_back("--compare-fits");
  if (flags & 4) args.push_back("--zeros");
  if (flags & 8) args.insert(args.end(), {"--sample", "--table=" + directory + "t.csv"});
  if ((flags & 8) && (flags & 16)) args.push_back("--memory=1K");  // a table option: with --table
  const int status = pctlfit::run_pctlfit(args, console);
  std::fclose(console.in);
  std::fclose(console.out);
  std::fclose(console.err);

  const bool usage_error = (flags & 4) != 0 && mode == "NV";  // --zeros is for LN2 and LN3
  // A budget below --sample's bookkeeping for the columns is refused as a usage error.
  const bool may_refuse = (flags & 8) && (flags & 16) && status == 1;
  if (may_refuse) return 0;
  if (usage_error ? status != 1
                  : status != 0 && status != 2 && status != 3 && status != 4 && status != 6) {
    __builtin_trap();
  }
  if (read_file(list_path) != list || read_file(directory + "a.dat") != first ||
      read_file(directory + "b.dat") != second) {
    __builtin_trap();
  }
  return 0;
}
