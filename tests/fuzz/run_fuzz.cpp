// Fuzzes a whole run: a list file and two data files made from the input, in a directory of
// their own. Properties: the exit status is a documented one and no input file changes.
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

#include "run/run.h"

namespace {

void write_file(const char* name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

std::string read_file(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One working directory for the whole session; the names in the list cannot leave it.
void enter_work_directory() {
  static bool entered = false;
  if (entered) return;
  char pattern[] = "/tmp/pctlfit_fuzz_XXXXXX";
  if (::mkdtemp(pattern) == nullptr || ::chdir(pattern) != 0) std::abort();
  setenv("PCTLFIT_THREADS", "1", 1);
  entered = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  enter_work_directory();
  FuzzedDataProvider input(data, size);
  static const char* const kModes[] = {"NV", "LN2", "LN3", "other"};
  const std::string mode = kModes[input.ConsumeIntegralInRange<int>(0, 3)];
  std::string list = input.ConsumeRandomLengthString(256);
  std::replace(list.begin(), list.end(), '/', '_');  // stay inside the directory
  const std::string first = input.ConsumeRandomLengthString(4096);
  const std::string second = input.ConsumeRemainingBytesAsString();
  write_file("list.txt", list);
  write_file("a.dat", first);
  write_file("b.dat", second);
  std::remove("list.sta");

  pctlfit::Console console{std::tmpfile(), std::tmpfile(), std::tmpfile()};
  std::fputs("0.5\n", console.in);
  std::rewind(console.in);
  const int status = pctlfit::run_pctlfit({"list.txt", mode}, console);
  std::fclose(console.in);
  std::fclose(console.out);
  std::fclose(console.err);

  if (status != 0 && status != 2 && status != 3 && status != 4) __builtin_trap();
  if (read_file("list.txt") != list || read_file("a.dat") != first ||
      read_file("b.dat") != second) {
    __builtin_trap();
  }
  return 0;
}
