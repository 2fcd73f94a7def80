// The straightforward reading, for comparison: fgets and fscanf, value by value, LN2 sums.
//   fscanf_reference LISTFILE COLUMNS
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fscanf_reference LISTFILE COLUMNS\n");
    return 1;
  }
  const int columns = std::atoi(argv[2]);
  std::vector<double> sum(static_cast<size_t>(columns) * 13), sum_sq(sum.size()), count(sum.size());
  std::FILE* list = std::fopen(argv[1], "r");
  if (list == nullptr) return 2;
  char name[4096];
  static char line[1 << 20];
  while (std::fscanf(list, "%4095s", name) == 1) {
    std::FILE* in = std::fopen(name, "r");
    if (in == nullptr) return 2;
    for (int i = 0; i < 3; ++i) std::fgets(line, sizeof line, in);
    int year, month, day, hour;
    while (std::fscanf(in, "%d%d%d%d", &year, &month, &day, &hour) == 4) {
      for (int c = 0; c < columns; ++c) {
        double v;
        if (std::fscanf(in, "%lf", &v) != 1) break;
        if (v > -9999.0 && month > 0 && month <= 12) {
          const size_t cell = static_cast<size_t>(month * columns + c);
          const double x = std::log(v);
          count[cell] += 1;
          sum[cell] += x;
          sum_sq[cell] += x * x;
        }
      }
    }
    std::fclose(in);
  }
  double total = 0;
  for (double s : sum) total += s;
  std::printf("%.6f\n", total);
  return 0;
}
