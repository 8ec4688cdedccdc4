// Times a batch conversion through the window: the main window on a scripted desktop (offscreen)
// lists a batch of generated drawings and converts them into a folder, the log pane taking every
// summary. Prints the time per file for growing batches beside the time per file of copying the
// same inputs, so that linear growth shows as a steady time per file. Exits 0 whatever the figures.
//
// usage: torvane_bench_batch [FILES]   the largest batch (default 2000); halves of it run first.

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builder/filebuilder.h"
#include "fakeplatform.h"
#include "ui/unit1.h"

namespace {

namespace fs = std::filesystem;
using namespace torvane;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A small floor plan of some hundred entities; i varies it so that no two files are the same.
std::string Drawing(int i) {
  test::TJwcBuilder b;
  b.memo1 = "plan " + std::to_string(i);
  for (int n = 0; n < 200; ++n) {
    float x = static_cast<float>((n * 37 + i) % 500), y = static_cast<float>((n * 53 + i) % 350);
    b.lines.push_back({x, y, x + 10.5f, y + 3.25f});
  }
  for (int n = 0; n < 40; ++n) b.arcs.push_back({static_cast<float>(n * 11 % 400), 100, 5.5f + n});
  for (int n = 0; n < 20; ++n) b.AddText({static_cast<float>(n * 20), 300, static_cast<float>(n * 20 + 15), 300}, "text");
  return b.Build();
}

void Copy(const std::vector<std::string>& inputs, const fs::path& folder) {
  for (const std::string& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    std::ofstream out(folder / fs::path(input).filename(), std::ios::binary);
    out << in.rdbuf();
    if (!in || !out) {
      std::fprintf(stderr, "cannot copy %s\n", input.c_str());
      std::exit(1);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int largest = argc > 1 ? std::max(4, std::atoi(argv[1])) : 2000;

  const fs::path root = fs::temp_directory_path() / ("torvane-bench-batch-" + std::to_string(getpid()));
  fs::create_directories(root / "in");
  fs::current_path(root);
  std::vector<std::string> inputs;
  std::uintmax_t bytes = 0;
  for (int i = 0; i < largest; ++i) {
    inputs.push_back((root / "in" / ("plan" + std::to_string(i) + ".jwc")).string());
    std::string drawing = Drawing(i);
    bytes += drawing.size();
    test::WriteFile(inputs.back(), drawing);
  }
  std::printf("batch conversion through the window (%s build), drawings of %ju bytes on average\n",
              TORVANE_BUILD_TYPE, bytes / static_cast<std::uintmax_t>(largest));
  std::printf("%8s %12s %14s %14s %14s %8s\n", "files", "list (ms)", "convert (s)", "per file (ms)", "copy/file (ms)",
              "ratio");

  for (int files = largest / 4; files <= largest; files *= 2) {
    std::vector<std::string> batch(inputs.begin(), inputs.begin() + files);
    const fs::path out = root / ("out" + std::to_string(files));
    const fs::path copies = root / ("copy" + std::to_string(files));
    fs::create_directories(out);
    fs::create_directories(copies);

    test::TFakePlatform platform;
    TForm1 form(platform, {});
    Clock::time_point start = Clock::now();
    form.LoadBatch(batch);
    double list = Seconds(start);
    platform.FolderAnswers.push_back(out.string());
    start = Clock::now();
    form.Button2Click();
    double convert = Seconds(start);

    start = Clock::now();
    Copy(batch, copies);
    double copy = Seconds(start);

    bool complete = static_cast<int>(platform.ProgressSteps.size()) == files && !platform.Boxes.empty() &&
                    platform.Boxes.back().Text == "ファイルの保存が終了しました";
    std::printf("%8d %12.1f %14.3f %14.3f %14.3f %8.1f%s\n", files, list * 1e3, convert, convert * 1e3 / files,
                copy * 1e3 / files, convert / copy, complete ? "" : "  (incomplete!)");
  }
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(root);
  return 0;
}
