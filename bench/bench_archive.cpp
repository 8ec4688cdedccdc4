// Times torvane-convert over a whole archive: a generated tree of drawings and parts of the sizes
// DOS files have (a few kB to a few hundred kB, most of them small) in nested folders, converted
// with -r -o at -j 1 and -j N, against the floor of reading the same files and writing as many
// bytes as the outputs hold (in the same run, on the same machine). Peak memory is the converter
// process's own (wait4), at a quarter of the tree and at the whole of it. Prints figures and exits
// 0 whatever they are. Needs room for about thirteen times the outputs of the archive (10 GB at 10,000
// files).
// With strace installed (scripts/deps.sh strace), the system calls per file of the converter and
// of the floor are counted on a quarter of the tree.
//
// usage: torvane_bench_archive [FILES [JOBS]]   (default 10000 files, JOBS the number of processors)
//        torvane_bench_archive --make FOLDER [FILES]   writes the archive only.
//        torvane_bench_archive --floor TREE SIZES OUTPUT   runs the floor alone (for counting).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "builder/filebuilder.h"
#include "builder/jwkbuilder.h"

#include "benchutil.h"

namespace {

namespace fs = std::filesystem;
using namespace torvane::test;
using torvane::bench::Check;
using torvane::bench::TRandom;
using torvane::bench::TTempFolder;

constexpr double kRatioTarget = 2.0;
constexpr double kMiB = 1024.0 * 1024.0;
// Four folders at the top, so that a quarter of the tree is one of them.
constexpr int kQuarters = 4;
constexpr int kFilesPerFolder = 50;
constexpr int kRounds = 3;


// How many records a drawing gets: sizes from the bare 4.7 kB of the header to 300 kB, half of
// them below 10 kB, a tenth above 120 kB (about 38 kB on average); a record takes some 22 bytes.
std::size_t RecordCount(TRandom& random) {
  double u = random.Uniform(0, 1);
  double bytes = 3000.0 * std::pow(100.0, u * u);
  return bytes < 4700 ? 0 : static_cast<std::size_t>((bytes - 4700) / 22);
}

std::string MakeDrawing(TRandom& random) {
  TJwcBuilder b;
  b.memo1 = "\x95\xbd\x96\xca\x90\x7d";  // 平面図
  std::size_t records = RecordCount(random);
  for (std::size_t i = 0; i < records; ++i) {
    float x = random.Uniform(0, 500), y = random.Uniform(0, 350);
    switch (i % 10) {
      case 0: {
        TArcRec arc;
        arc.cx = x;
        arc.cy = y;
        arc.radius = random.Uniform(1, 40);
        b.arcs.push_back(arc);
        break;
      }
      case 1:
        if (b.pool.size() < 30000) {
          b.AddText({x, y, x + 20, y, 0, 0, 1}, "\x8b\x8f\x8a\xd4");  // 居間
          break;
        }
        [[fallthrough]];
      default:
        b.lines.push_back({x, y, x + random.Uniform(-30, 30), y + random.Uniform(-30, 30)});
    }
  }
  return b.Build();
}

std::string MakePart(TRandom& random) {
  TJwkBuilder b;
  std::size_t records = RecordCount(random) / 4 + 1;
  for (std::size_t i = 0; i < records; ++i) {
    float x = random.Uniform(0, 50), y = random.Uniform(0, 50);
    b.lines.push_back({x, y, x + random.Uniform(-5, 5), y + random.Uniform(-5, 5)});
  }
  b.AddText({0, 0, 10, 0, 0, 0, 1}, "door");
  return b.Build();
}

// The archive: kQuarters folders, each with folders of kFilesPerFolder files, every fifth a part.
std::size_t MakeArchive(const fs::path& root, std::size_t files) {
  TRandom random(0x853C49E6748FEA9BULL);
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < files; ++i) {
    std::size_t quarter = i % kQuarters, index = i / kQuarters;
    fs::path folder = root / ("disk" + std::to_string(quarter)) / ("set" + std::to_string(index / kFilesPerFolder));
    if (index % kFilesPerFolder == 0) fs::create_directories(folder);
    bool part = i % 5 == 4;
    std::string name = "F" + std::to_string(index) + (part ? ".JWK" : ".JWC");
    std::string content = part ? MakePart(random) : MakeDrawing(random);
    WriteFile((folder / name).string(), content);
    bytes += content.size();
  }
  return bytes;
}

struct TRun {
  double seconds = 0;
  std::size_t peakBytes = 0;
  int status = -1;
};

// Runs the converter in a process of its own; its time and peak memory.
TRun Convert(const std::string& program, const fs::path& tree, const fs::path& output, std::size_t jobs) {
  sync();
  std::string jobsArg = "-j" + std::to_string(jobs);
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  Check(child >= 0, "cannot start a process");
  if (child == 0) {
    execl(program.c_str(), program.c_str(), "-r", "--quiet", jobsArg.c_str(), "-o", output.c_str(), tree.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  Check(wait4(child, &status, 0, &usage) == child, "cannot wait for the converter");
  TRun run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakBytes = static_cast<std::size_t>(usage.ru_maxrss) * 1024;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

void ReadWhole(const std::string& path, std::vector<uint8_t>& data) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0, "cannot open " + path);
  struct stat info {};
  Check(fstat(fd, &info) == 0, "cannot ask about " + path);
  data.resize(static_cast<std::size_t>(info.st_size));
  for (std::size_t done = 0; done < data.size();) {
    ssize_t got = read(fd, data.data() + done, data.size() - done);
    Check(got > 0, "cannot read " + path);
    done += static_cast<std::size_t>(got);
  }
  close(fd);
}

// What any program must do for the archive: read every input whole and write as many bytes as its
// output holds to a new file in a rebuilt tree, through a temporary file renamed into place.
double Floor(const fs::path& tree, const fs::path& converted, const fs::path& output) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::recursive_directory_iterator(tree)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  std::vector<uint8_t> data;
  sync();  // nothing left to write back from the phase before
  auto start = std::chrono::steady_clock::now();
  for (const fs::path& input : inputs) {
    fs::path relative = input.lexically_relative(tree);
    fs::path done = converted / relative;
    done.replace_extension(input.extension() == ".JWK" ? ".jws" : ".jww");
    std::size_t outputSize = static_cast<std::size_t>(fs::file_size(done));
    ReadWhole(input.string(), data);
    fs::path target = output / relative;
    fs::create_directories(target.parent_path());
    std::string temporary = target.string() + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    Check(fd >= 0, "cannot create " + temporary);
    for (std::size_t written = 0; written < outputSize;) {
      std::size_t at = written % data.size();
      ssize_t put = write(fd, data.data() + at, std::min(outputSize - written, data.size() - at));
      Check(put > 0, "cannot write " + temporary);
      written += static_cast<std::size_t>(put);
    }
    Check(close(fd) == 0, "cannot close " + temporary);
    Check(rename(temporary.c_str(), target.c_str()) == 0, "cannot rename " + temporary);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The system calls a program makes, with every thread and child, as strace -c -f counts them; 0
// when strace is not to be had.
std::size_t CountSystemCalls(const std::vector<std::string>& command, const fs::path& scratch) {
  std::string counts = (scratch / "strace.txt").string();
  std::vector<std::string> argv{"strace", "-f", "-c", "-o", counts, "--"};
  argv.insert(argv.end(), command.begin(), command.end());
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t child = fork();
  Check(child >= 0, "cannot start a process");
  if (child == 0) {
    execvp("strace", args.data());
    _exit(127);
  }
  int status = 0;
  Check(waitpid(child, &status, 0) == child, "cannot wait for strace");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
  // The last line: "100.00  seconds  usecs/call  calls  errors  total".
  std::ifstream in(counts);
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.find(" total") != std::string::npos) last = line;
  }
  std::istringstream fields(last);
  std::string percent, seconds, perCall;
  std::size_t calls = 0;
  fields >> percent >> seconds >> perCall >> calls;
  return calls;
}

std::size_t TreeBytes(const fs::path& root) {
  std::size_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) bytes += static_cast<std::size_t>(entry.file_size());
  }
  return bytes;
}

void PrintRun(const char* name, std::size_t files, const TRun& run, double floor) {
  std::printf("  %-22s %8.2f s %9.0f files/s %7.2f x floor %8.1f MiB peak%s\n", name, run.seconds,
              static_cast<double>(files) / run.seconds, run.seconds / floor, static_cast<double>(run.peakBytes) / kMiB,
              run.status == 0 ? "" : "  (the converter failed)");
}

// The least disturbed of several runs: the shortest time, with the highest peak memory of them all.
TRun Best(const std::vector<TRun>& runs) {
  TRun best = runs.front();
  for (const TRun& run : runs) {
    if (run.seconds < best.seconds) best.seconds = run.seconds;
    best.peakBytes = std::max(best.peakBytes, run.peakBytes);
    if (run.status != 0) best.status = run.status;
  }
  return best;
}

// The ratio of each round's run to that round's floor, at the given rank of them all (0 the
// best, 0.5 the median).
double RoundRatio(const std::vector<TRun>& runs, const std::vector<double>& floors, double rank) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < runs.size(); ++i) ratios.push_back(runs[i].seconds / floors[i]);
  std::sort(ratios.begin(), ratios.end());
  return ratios[static_cast<std::size_t>(rank * static_cast<double>(ratios.size() - 1) + 0.5)];
}

int Run(std::size_t files, std::size_t jobs) {
  TTempFolder folder;
  fs::path tree = folder.path / "archive";
  fs::path sizes = folder.path / "sizes";
  std::printf("torvane_bench_archive (%s build): %zu files, -j %zu against -j 1, best of %d\n", TORVANE_BUILD_TYPE,
              files, jobs, kRounds);
  std::size_t inputBytes = MakeArchive(tree, files);
  // The outputs of one run tell the floor how many bytes to write for each file.
  Check(Convert(TORVANE_CONVERT, tree, sizes, 1).status == 0, "the archive does not convert");
  std::size_t outputBytes = TreeBytes(sizes);
  std::printf("  inputs %.1f MiB (%.1f kB a file), outputs %.1f MiB\n", static_cast<double>(inputBytes) / kMiB,
              static_cast<double>(inputBytes) / 1024.0 / static_cast<double>(files),
              static_cast<double>(outputBytes) / kMiB);
  // The phases take turns, so that what else the machine does falls on all of them alike. Every
  // phase starts with nothing left to write back, and writes a tree of its own: nothing is
  // deleted before the end, since a file system that has just freed many files makes new ones
  // slowly for a while (ext4 passes over recently freed inodes), which would fall on whichever
  // phase came next.
  std::vector<double> floors;
  std::vector<TRun> ones, manys, quarters;
  for (int round = 0; round < kRounds; ++round) {
    std::string n = std::to_string(round);
    floors.push_back(Floor(tree, sizes, folder.path / ("floor" + n)));
    manys.push_back(Convert(TORVANE_CONVERT, tree, folder.path / ("many" + n), jobs));
    ones.push_back(Convert(TORVANE_CONVERT, tree, folder.path / ("one" + n), 1));
    quarters.push_back(Convert(TORVANE_CONVERT, tree / "disk0", folder.path / ("quarter" + n), jobs));
  }
  double floor = *std::min_element(floors.begin(), floors.end());
  TRun one = Best(ones), many = Best(manys), quarter = Best(quarters);

  std::printf("  %-22s %8.2f s %9.0f files/s\n", "floor (read, write)", floor, static_cast<double>(files) / floor);
  PrintRun("-j 1", files, one, floor);
  std::string name = "-j " + std::to_string(jobs);
  PrintRun(name.c_str(), files, many, floor);
  std::string quarterName = name + ", a quarter";
  PrintRun(quarterName.c_str(), files / kQuarters, quarter, floor / kQuarters);
  std::printf("  -j %zu within %.1f x floor: %s; peak memory at all files / a quarter: %.2f\n", jobs, kRatioTarget,
              many.seconds <= kRatioTarget * floor ? "PASS" : "MISS",
              static_cast<double>(many.peakBytes) / static_cast<double>(std::max<std::size_t>(quarter.peakBytes, 1)));
  std::printf("  archive / floor: %.2f at -j 1, %.2f at -j %zu\n", one.seconds / floor, many.seconds / floor, jobs);
  // Each round's runs against that round's floor, which met the same load of the machine.
  std::printf("  archive / floor of its round, best and median: -j 1 %.2f, %.2f; -j %zu %.2f, %.2f\n",
              RoundRatio(ones, floors, 0.0), RoundRatio(ones, floors, 0.5), jobs, RoundRatio(manys, floors, 0.0),
              RoundRatio(manys, floors, 0.5));

  // System calls per file, on a quarter of the tree.
  fs::path part = tree / "disk0";
  double partFiles = static_cast<double>(files / kQuarters);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::size_t floorCalls = CountSystemCalls(
      {self, "--floor", part.string(), (sizes / "disk0").string(), (folder.path / "strace-floor").string()},
      folder.path);
  if (floorCalls == 0) {
    std::printf("  system calls per file: not counted (strace is not installed: scripts/deps.sh strace)\n");
    return 0;
  }
  std::printf("  system calls per file (strace -c -f, a quarter of the tree): floor %.1f", floorCalls / partFiles);
  for (std::size_t j : {std::size_t{1}, jobs}) {
    std::string jobsArg = "-j" + std::to_string(j);
    std::string out = (folder.path / ("strace" + std::to_string(j))).string();
    std::size_t calls =
        CountSystemCalls({TORVANE_CONVERT, "-r", "--quiet", jobsArg, "-o", out, part.string()}, folder.path);
    std::printf(", -j %zu %.1f", j, calls / partFiles);
  }
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 5 && std::string(argv[1]) == "--floor") {
      Floor(argv[2], argv[3], argv[4]);
      return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--make") {
      MakeArchive(argv[2], argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10000);
      return 0;
    }
    std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    std::size_t jobs =
        argc > 2 ? std::strtoul(argv[2], nullptr, 10) : std::max(1u, std::thread::hardware_concurrency());
    if (files < kQuarters || jobs < 1) {
      std::fprintf(stderr, "usage: torvane_bench_archive [FILES [JOBS]]\n");
      return 2;
    }
    return Run(files, jobs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torvane_bench_archive: %s\n", e.what());
    return 1;
  }
}
