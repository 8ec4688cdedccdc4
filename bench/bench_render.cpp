// Times the pictures: the thumbnailer's whole process on the sample drawing (target under 0.2 s),
// and torvane-convert --to png (2000 pixels wide) of the large generated drawing against its
// conversion to JWW (target under 3 ×), with the peak memory of --to png against the conversion's
// bar of 1.2 × (input + output) + 64 MiB, and --to png of the same drawing with every layer shown
// against the same conversion.
// Runs are interleaved. Prints figures and exits 0 whatever they are.
//
// usage: torvane_bench_render

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "benchutil.h"

namespace {

namespace fs = std::filesystem;
using torvane::bench::Check;
using torvane::bench::TTempFolder;

constexpr int kThumbnailRuns = 10;
constexpr int kLargeRuns = 3;
constexpr double kMiB = 1024.0 * 1024.0;

struct TChild {
  double seconds = 0;
  long peakKiB = 0;
  int status = -1;
};

// Runs the program with its arguments, its output to /dev/null, and measures it.
TChild RunChild(const std::vector<std::string>& command) {
  std::fflush(stdout);  // nothing printed so far may be printed again by the child
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  Check(child >= 0, "fork failed");
  if (child == 0) {
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  TChild result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peakKiB = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

const char* Verdict(bool pass) { return pass ? "PASS" : "MISS"; }

}  // namespace

int main() {
  try {
    TTempFolder folder;
    std::printf("Torvane picture benchmark (%s build)\n", TORVANE_BUILD_TYPE);

    std::string thumbnail = (folder.path / "thumb.png").string();
    std::vector<double> thumbs;
    for (int i = 0; i < kThumbnailRuns; ++i) {
      TChild run = RunChild({TORVANE_THUMBNAILER, "-s", "256", TORVANE_SOURCE_DIR "/samples/plan.jwc", thumbnail});
      Check(run.status == 0, "the thumbnailer failed");
      thumbs.push_back(run.seconds);
    }
    double bestThumb = *std::min_element(thumbs.begin(), thumbs.end());
    std::printf("thumbnailer, sample drawing at 256 px, whole process: best %.3f s, median %.3f s (target < 0.2 s)  %s\n",
                bestThumb, Median(thumbs), Verdict(Median(thumbs) < 0.2));

    // The generated drawing shows one of its 64 layers (its write layer), and a picture leaves out
    // what is hidden; the same drawing with every layer shown is what painting all of it costs.
    // Both convert alike: the layer states change no record.
    std::string input = (folder.path / "large.jwc").string(), shownInput = (folder.path / "large-shown.jwc").string();
    Check(RunChild({TORVANE_BENCH_CONVERT, "--make", input}).status == 0, "the large drawing was not made");
    Check(RunChild({TORVANE_BENCH_CONVERT, "--make-shown", shownInput}).status == 0, "the shown drawing was not made");
    std::string jww = (folder.path / "large.jww").string(), png = (folder.path / "large.png").string();
    std::string shownPng = (folder.path / "large-shown.png").string();
    std::vector<double> converts, pictures, shownPictures;
    long peakKiB = 0, shownPeakKiB = 0;
    for (int i = 0; i < kLargeRuns; ++i) {
      fs::remove(jww);
      TChild convert = RunChild({TORVANE_CONVERT, "--quiet", "-o", jww, input});
      Check(convert.status == 0, "the conversion failed");
      converts.push_back(convert.seconds);
      fs::remove(png);
      TChild picture = RunChild({TORVANE_CONVERT, "--quiet", "--to", "png", "-o", png, input});
      Check(picture.status == 0, "the picture failed");
      pictures.push_back(picture.seconds);
      peakKiB = std::max(peakKiB, picture.peakKiB);
      fs::remove(shownPng);
      TChild shown = RunChild({TORVANE_CONVERT, "--quiet", "--to", "png", "-o", shownPng, shownInput});
      Check(shown.status == 0, "the picture of the shown drawing failed");
      shownPictures.push_back(shown.seconds);
      shownPeakKiB = std::max(shownPeakKiB, shown.peakKiB);
    }
    double ratio = Median(pictures) / Median(converts), shownRatio = Median(shownPictures) / Median(converts);
    std::printf("large drawing (%.1f MiB), whole process: --to jww median %.3f s\n", fs::file_size(input) / kMiB,
                Median(converts));
    std::printf("  --to png (2000 px), 1 layer of 64 shown:  median %.3f s: %.2f x the conversion (target < 3 x)  %s\n",
                Median(pictures), ratio, Verdict(ratio < 3));
    std::printf("  --to png (2000 px), all 64 layers shown:  median %.3f s: %.2f x the conversion (target < 3 x)  %s\n",
                Median(shownPictures), shownRatio, Verdict(shownRatio < 3));
    double target = 1.2 * static_cast<double>(fs::file_size(input) + fs::file_size(png)) + 64 * kMiB;
    std::printf("peak memory of --to png: %.1f MiB, target 1.2 x (input + output) + 64 MiB = %.1f MiB  %s\n",
                peakKiB * 1024.0 / kMiB, target / kMiB, Verdict(peakKiB * 1024.0 <= target));
    double shownTarget = 1.2 * static_cast<double>(fs::file_size(shownInput) + fs::file_size(shownPng)) + 64 * kMiB;
    std::printf("  all layers shown: %.1f MiB, target %.1f MiB  %s\n", shownPeakKiB * 1024.0 / kMiB,
                shownTarget / kMiB, Verdict(shownPeakKiB * 1024.0 <= shownTarget));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torvane_bench_render: %s\n", e.what());
    return 1;
  }
}
