// Writes a seeded workload of monthly data files and their list file:
//   generate_workload DIR FILES COLUMNS YEARS [SEED]
// Values are log-normal around a per-column mean with a seasonal cycle, one in a thousand
// missing, written with two decimals as the hydrological models write them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: generate_workload DIR FILES COLUMNS YEARS [SEED]\n");
    return 1;
  }
  const std::string dir = argv[1];
  const int files = std::atoi(argv[2]);
  const int columns = std::atoi(argv[3]);
  const int years = std::atoi(argv[4]);
  std::mt19937_64 random(argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1);
  std::lognormal_distribution<double> noise(0.0, 0.4);
  std::uniform_real_distribution<double> base(0.5, 150.0);
  std::vector<double> means(static_cast<size_t>(columns));
  for (double& m : means) m = base(random);

  std::FILE* list = std::fopen((dir + "/list.txt").c_str(), "w");
  if (list == nullptr) return 2;
  for (int f = 1; f <= files; ++f) {
    char name[64];
    std::snprintf(name, sizeof name, "member%03d.dat", f);
    std::fprintf(list, "%s\n", name);
    std::FILE* out = std::fopen((dir + "/" + name).c_str(), "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "generated workload, member %d\nYYYY MM DD H", f);
    for (int c = 1; c <= columns; ++c) std::fprintf(out, "\tQ%d", c);
    std::fprintf(out, "\nm3/s\n");
    for (int year = 1; year <= years; ++year) {
      for (int month = 1; month <= 12; ++month) {
        std::fprintf(out, "%d %d 1 0", 1900 + year, month);
        const double season = 1.0 + 0.5 * std::sin(month * 0.5236);
        for (int c = 0; c < columns; ++c) {
          if (random() % 1000 == 0) {
            std::fputs("\t-9999", out);
          } else {
            std::fprintf(out, "\t%.2f", means[static_cast<size_t>(c)] * season * noise(random));
          }
        }
        std::fputc('\n', out);
      }
    }
    std::fclose(out);
  }
  std::fclose(list);
  return 0;
}
