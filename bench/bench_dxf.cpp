// Times the DXF export of the large generated drawing (the drawing of torvane_bench_convert: 1M
// lines, 200k arcs, 100k points, 100k texts) against its JWW conversion: `torvane-convert --to dxf`
// and `--to jww` into new files, whole processes, interleaved rounds. Prints the best and median
// times, their ratio, and each run's peak memory against 1.2 × (input + output) + 64 MiB. Exits 0
// whatever the figures are.
//
// usage: torvane_bench_dxf [ROUNDS]   (default 5)

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "benchutil.h"

namespace {

using namespace torvane::bench;

struct TRun {
  double Seconds = 0;
  long PeakKiB = 0;
};

// Runs the program with its arguments and waits for it; fails unless it exits 0.
TRun Run(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  Check(child >= 0, "cannot fork");
  if (child == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  Check(wait4(child, &status, 0, &usage) == child, "cannot wait");
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, command[0] + " failed");
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), usage.ru_maxrss};
}

double SizeOf(const std::string& path) {
  struct stat info {};
  Check(stat(path.c_str(), &info) == 0, "cannot look at " + path);
  return static_cast<double>(info.st_size);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  try {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    Check(rounds > 0, "usage: torvane_bench_dxf [ROUNDS]");
    std::printf("build type %s\n", TORVANE_BUILD_TYPE);
    TTempFolder folder;
    std::string input = (folder.path / "large.jwc").string();
    Run({TORVANE_BENCH_CONVERT, "--make", input});
    const std::string kinds[] = {"jww", "dxf"};
    std::vector<double> times[2];
    long peak[2] = {0, 0};
    double outputBytes[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
      for (int k = 0; k < 2; ++k) {
        std::string output = (folder.path / ("large." + kinds[k])).string();
        std::remove(output.c_str());
        TRun run = Run({TORVANE_CONVERT, "--quiet", "--to", kinds[k], "-o", output, input});
        times[k].push_back(run.Seconds);
        peak[k] = std::max(peak[k], run.PeakKiB);
        outputBytes[k] = SizeOf(output);
      }
    }
    double inputBytes = SizeOf(input);
    std::printf("input %.1f MiB; %d interleaved rounds\n", inputBytes / 1048576, rounds);
    for (int k = 0; k < 2; ++k) {
      double bar = 1.2 * (inputBytes + outputBytes[k]) / 1024 + 64 * 1024;
      std::printf("--to %s: output %.1f MiB, best %.3f s, median %.3f s, peak memory %.1f MiB (bar %.1f MiB)\n",
                  kinds[k].c_str(), outputBytes[k] / 1048576, *std::min_element(times[k].begin(), times[k].end()),
                  Median(times[k]), peak[k] / 1024.0, bar / 1024);
    }
    std::printf("DXF / JWW: best %.2f, median %.2f (goal: below 2)\n",
                *std::min_element(times[1].begin(), times[1].end()) / *std::min_element(times[0].begin(), times[0].end()),
                Median(times[1]) / Median(times[0]));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torvane_bench_dxf: %s\n", e.what());
    return 1;
  }
}
