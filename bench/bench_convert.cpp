// Times the drawing conversion on a large generated drawing: reading, converting with numeric
// correction, writing, the three together, and the plain file copy of the same sizes that bounds
// them from below; then torvane-convert end to end into a new file, each run next to a run of the
// floor, so that what else the machine does falls on both alike. The peak memory of one file's conversion through the conversion service is
// taken in a fresh process, so that nothing this program allocated for itself counts: for the
// large drawing, and for a forged drawing of 256 MiB of empty texts (a sparse file) with the
// usual font name and with one of 254 bytes, whose output would pass 2 GiB and is refused. Prints
// figures and exits 0 whatever they are.
//
// usage: torvane_bench_convert [SCALE]   SCALE multiplies the entity counts (default 1).
//        torvane_bench_convert --make FILE [SCALE]   writes the generated drawing only.
//        torvane_bench_convert --make-shown FILE     the same with every layer group and layer shown.
//        torvane_bench_convert --sparse FILE   writes the forged drawing of empty texts only.
//        torvane_bench_convert --floor INPUT OUTPUT SIZE   the I/O floor in a process of its own.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "builder/filebuilder.h"
#include "builder/writefiles.h"
#include "convert/conversion.h"
#include "drawing/jwc2jww.h"
#include "drawing/jwcunit.h"
#include "drawing/jwwunit.h"
#include "benchutil.h"

namespace {

namespace fs = std::filesystem;
using namespace torvane;
using namespace torvane::test;
using torvane::bench::Check;
using torvane::bench::TRandom;
using torvane::bench::TTempFolder;

constexpr int kRepetitions = 5;
// Runs of torvane-convert and of the floor, taking turns.
constexpr int kEndToEndRounds = 9;
constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr double kRatioTarget = 3.0;
constexpr double kEndToEndTarget = 4.0;
constexpr double kMiB = 1024.0 * 1024.0;

// "ＭＳ ゴシック" in CP932.
const std::string kFont = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";
// The longest font name the command line takes.
const std::string kLongFont(254, 'F');
// Peak memory target of one conversion: 1.2 × (input + output) + 64 MiB.
constexpr double kMemoryFactor = 1.2;
constexpr double kMemoryAllowance = 64.0 * 1024 * 1024;
constexpr std::size_t kSparseBytes = std::size_t{256} << 20;


struct TCounts {
  std::size_t lines, arcs, points, texts, virtualPoints;
};

// Four layer groups in use, at the scales a plan, details and a site drawing would mix.
constexpr std::array<float, 4> kGroupScales{1, 20, 50, 100};
// An A3 sheet in the drawing's own units.
constexpr float kWidth = 518, kHeight = 366;
// The pool sits at 6000:0000 and every address must stay a 16-bit segment with an offset below 16.
constexpr uint32_t kPoolStart = 0x60000;
constexpr uint32_t kPoolRoom = 0xFFFFF - kPoolStart;

const std::array<std::string, 10> kJapanese{
    "\x8b\x8f\x8a\xd4", "\x98\x61\x8e\xba", "\x90\x51\x8e\xba", "\x8c\xba\x8a\xd6", "\x91\xe4\x8f\x8a",
    "\x97\x81\x8e\xba", "\x97\x6d\x8e\xba", "\x8e\xfb\x94\x5b", "\x8a\x4b\x92\x69", "\x83\x7a\x81\x5b\x83\x8b"};
const std::array<std::string, 8> kAscii{"A-", "W", "D-", "GL+", "FL", "CH", "X", "Y"};

uint8_t RandomLayer(TRandom& random) { return static_cast<uint8_t>(random.Below(4) * 16 + random.Below(16)); }

// Drawings are drawn a layer at a time: records come in runs on one layer, of 1 to 64 records.
class TLayerRuns {
 public:
  explicit TLayerRuns(TRandom& random) : random_(random) {}
  uint8_t Next() {
    if (left_ == 0) {
      layer_ = RandomLayer(random_);
      left_ = 1 + random_.Below(64);
    }
    --left_;
    return layer_;
  }

 private:
  TRandom& random_;
  uint8_t layer_ = 0;
  uint32_t left_ = 0;
};

// Texts of a few bytes each: Japanese room names, some numbered, and ASCII marks with numbers.
std::string RandomText(TRandom& random) {
  uint32_t kind = random.Below(3);
  if (kind == 0) return kJapanese[random.Below(kJapanese.size())];
  if (kind == 1) return kJapanese[random.Below(kJapanese.size())] + std::to_string(random.Below(10));
  return kAscii[random.Below(kAscii.size())] + std::to_string(random.Below(1000));
}

void AppendLines(TBytes& out, TRandom& random, std::size_t count) {
  TLayerRuns layers(random);
  for (std::size_t i = 0; i < count; ++i) {
    TLineRec line;
    line.x1 = random.Uniform(0, kWidth);
    line.y1 = random.Uniform(0, kHeight);
    line.x2 = std::clamp(line.x1 + random.Uniform(-40, 40), 0.0f, kWidth);
    line.y2 = std::clamp(line.y1 + random.Uniform(-40, 40), 0.0f, kHeight);
    line.lineType = static_cast<uint8_t>(1 + random.Below(9));
    line.penColor = static_cast<uint8_t>(1 + random.Below(9));
    line.layer = layers.Next();
    // Every hundredth line starts a curve of four; its last line carries both top bits.
    if (i % 100 < 4) line.attr2 = i % 100 == 3 ? 0xC0 : 0x40;
    AppendLine(out, line);
  }
}

void AppendArcs(TBytes& out, TRandom& random, std::size_t count) {
  TLayerRuns layers(random);
  for (std::size_t i = 0; i < count; ++i) {
    TArcRec arc;
    arc.cx = random.Uniform(0, kWidth);
    arc.cy = random.Uniform(0, kHeight);
    arc.radius = random.Uniform(0.5f, 60);
    arc.lineType = static_cast<uint8_t>(1 + random.Below(9));
    arc.penColor = static_cast<uint8_t>(1 + random.Below(9));
    arc.layer = layers.Next();
    double start = random.Below(360 * 16) / 16.0;
    double end = random.Below(360 * 16) / 16.0;
    switch (i % 5) {
      case 0:  // whole circles, stored both ways
        arc.end = i % 10 == 0 ? Angle(360) : 0;
        break;
      case 1:
      case 2:
      case 3:  // partial arcs
        arc.start = Angle(start);
        arc.end = Angle(end);
        break;
      default:  // ellipses, whole and partial, tilted
        arc.flatness = static_cast<uint16_t>(2000 + random.Below(7000));
        arc.tilt = Angle(random.Below(180 * 4) / 4.0);
        if (i % 10 == 9) {
          arc.start = Angle(start);
          arc.end = Angle(end);
        }
        break;
    }
    AppendArc(out, arc);
  }
}

void AppendPoints(TBytes& out, TRandom& random, std::size_t count) {
  TLayerRuns layers(random);
  for (std::size_t i = 0; i < count; ++i) {
    TPointRec point;
    point.x = random.Uniform(0, kWidth);
    point.y = random.Uniform(0, kHeight);
    point.layer = layers.Next();
    point.penColor = static_cast<uint8_t>(1 + random.Below(9));
    AppendPoint(out, point);
  }
}

// Text records and their pool. Each text has its own pool entry while the segment range lasts;
// after that, texts share the entries already made.
void AppendTexts(TBytes& records, std::string& pool, TRandom& random, std::size_t count) {
  TLayerRuns layers(random);
  std::vector<uint32_t> entries;
  for (std::size_t i = 0; i < count; ++i) {
    std::string text = RandomText(random);
    uint32_t address = 0;
    if (pool.size() + text.size() + 1 <= kPoolRoom) {
      address = kPoolStart + static_cast<uint32_t>(pool.size());
      pool += text;
      pool.push_back('\0');
      entries.push_back(address);
    } else {
      address = entries[i % entries.size()];
    }
    TTextRec record;
    record.x1 = random.Uniform(0, kWidth);
    record.y1 = random.Uniform(0, kHeight);
    float run = random.Uniform(2, 30);
    switch (random.Below(4)) {
      case 0:  // vertical
        record.x2 = record.x1;
        record.y2 = record.y1 + run;
        break;
      case 1:  // slanted
        record.x2 = record.x1 + run;
        record.y2 = record.y1 + random.Uniform(-run, run);
        break;
      default:
        record.x2 = record.x1 + run;
        record.y2 = record.y1;
        break;
    }
    record.segment = static_cast<uint16_t>(address >> 4);
    record.offset = static_cast<uint16_t>(address & 15);
    record.mojiShuNo = static_cast<uint8_t>(1 + random.Below(10));
    record.layer = layers.Next();
    AppendText(records, record);
  }
}

// The builder lays out the header, the tables and the name tables; the records, too many for its
// vectors to hold cheaply, are appended in between, in the file's order.
// Only the write layer of the write group is shown unless shown asks for every one, as a working
// drawing has them.
std::string MakeDrawing(const TCounts& n, bool shown = false) {
  TRandom random(0x2545F4914F6CDD1DULL);
  TBytes texts;
  std::string pool;
  AppendTexts(texts, pool, random, n.texts);

  TJwcBuilder b;
  b.memo1 = "Torvane benchmark";
  b.memo2 = "\x95\xbd\x96\xca 1/20 1/50 1/100";  // 平面
  b.paperSize = 3;
  b.viewX = kWidth / 2;
  b.viewY = kHeight / 2;
  b.senCount = static_cast<int32_t>(n.lines);
  b.enkoCount = static_cast<int32_t>(n.arcs);
  b.mojiCount = static_cast<int32_t>(n.texts);
  b.tenCount = static_cast<int32_t>(n.points);
  const std::array<std::string, 4> groupNames{"\x90\x7d\x96\xca\x98\x67", "\x95\xbd\x96\xca",
                                              "\x90\xdd\x94\xf5", "\x90\xa1\x96\x40"};
  for (std::size_t g = 0; g < kGroupScales.size(); ++g) {
    b.groupScales[g] = kGroupScales[g];
    b.groupNames[g] = groupNames[g];
    b.groupWriteLayer[g] = static_cast<uint8_t>(g * 16);
    for (std::size_t l = 0; l < 16; ++l) b.layerNames[g * 16 + l] = "L" + std::to_string(g * 16 + l);
  }
  if (shown) {
    for (uint8_t& state : b.groupState2) state = 2;
    for (uint8_t& state : b.layerState2) state = 2;
  }
  for (std::size_t k = 0; k < n.virtualPoints; ++k) {
    b.virtualPoints.push_back({random.Uniform(0, kWidth), random.Uniform(0, kHeight), RandomLayer(random)});
  }
  b.poolStart = kPoolStart;
  b.pool = pool;
  std::string withNames = b.Build();
  b.withNames = false;
  std::size_t namesStart = b.Build().size();
  std::size_t recordsStart = namesStart - pool.size();

  TBytes out;
  std::string& bytes = out.Str();
  bytes.reserve(withNames.size() + n.lines * 22 + n.arcs * 32 + texts.Str().size() + n.points * 12);
  bytes.append(withNames, 0, recordsStart);
  AppendLines(out, random, n.lines);
  AppendArcs(out, random, n.arcs);
  bytes += texts.Str();
  bytes += pool;
  AppendPoints(out, random, n.points);
  bytes.append(withNames, namesStart);
  return std::move(bytes);
}

// A drawing of kSparseBytes whose records are all empty texts: a header, zeros, the name tables.
// Written sparse, it takes a few kilobytes on the disk.
void MakeSparseDrawing(const std::string& path) {
  TJwcBuilder b;
  b.memo1 = "empty texts";
  std::string withNames = b.Build();
  b.withNames = false;
  std::size_t recordsStart = b.Build().size();
  std::string names = withNames.substr(recordsStart);
  std::size_t texts = (kSparseBytes - withNames.size()) / kMojiRecordSize;
  b.withNames = true;
  b.mojiCount = static_cast<int32_t>(texts);
  std::string head = b.Build().substr(0, recordsStart);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  Check(fd >= 0, "cannot create " + path);
  bool ok = write(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
            pwrite(fd, names.data(), names.size(), static_cast<off_t>(recordsStart + texts * kMojiRecordSize)) ==
                static_cast<ssize_t>(names.size());
  Check(close(fd) == 0 && ok, "cannot write " + path);
}

struct TTimes {
  std::vector<double> ms;
  double Best() const { return *std::min_element(ms.begin(), ms.end()); }
  double Median() const {
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

// Runs prepare untimed, then body timed, repetitions times.
TTimes Measure(const std::function<void()>& prepare, const std::function<void()>& body, int repetitions) {
  TTimes times;
  for (int i = 0; i < repetitions; ++i) {
    prepare();
    auto start = std::chrono::steady_clock::now();
    body();
    auto end = std::chrono::steady_clock::now();
    times.ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  return times;
}

// One file as torvane-convert converts it, through the conversion service, in this process.
void Pipeline(const std::string& input, const std::string& output, TOwnedDocuments& documents) {
  TConversionOptions options;
  options.FontName = kFont;
  TFileOutcome outcome =
      ConvertFile(input, TFileKind::Drawing, output, options, documents.Refs(), TWriteMode::Replace, true, input);
  Check(outcome.Load.Complete && outcome.Write && outcome.Write->Written, "the generated drawing does not convert");
}

// Runs argv[0] with argv in a process of its own and waits for it. Started by posix_spawn, not
// fork: a fork would make this process's large heap copy-on-write, and the floor run after it
// would then pay a fault for every page of its buffer it writes.
void RunProgram(const std::vector<std::string>& args, const std::string& what) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  Check(posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0, "cannot start " + what);
  int status = 0;
  Check(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0, what + " failed");
}

// torvane-convert in a process of its own, as a user runs it, into a new file.
void ConvertWithProgram(const std::string& input, const std::string& output) {
  RunProgram({TORVANE_CONVERT, "--quiet", "-o", output, input}, "torvane-convert on the generated drawing");
}

// The floor as a program of its own does it, as dd or cp would: the input read through one block,
// then outputSize bytes written from it to a new file that replaces the target.
int StreamFloor(const std::string& input, const std::string& output, std::size_t outputSize) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
  int in = open(input.c_str(), O_RDONLY | O_CLOEXEC);
  Check(in >= 0, "cannot open " + input);
  for (ssize_t got = 0; (got = read(in, block.get(), kBlock)) != 0;) Check(got > 0, "cannot read " + input);
  close(in);
  std::string temporary = output + ".tmp";
  int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  Check(out >= 0, "cannot create " + temporary);
  for (std::size_t done = 0; done < outputSize;) {
    ssize_t put = write(out, block.get(), std::min(kBlock, outputSize - done));
    Check(put > 0, "cannot write " + output);
    done += static_cast<std::size_t>(put);
  }
  Check(close(out) == 0, "cannot close " + temporary);
  Check(rename(temporary.c_str(), output.c_str()) == 0, "cannot rename " + temporary);
  return 0;
}

// What any program must do to turn a file of inputSize bytes into one of outputSize: read it
// whole, and write outputSize bytes in large blocks to a new file that then replaces the target,
// as the converter's output does.
void CopyFloor(const std::string& input, const std::string& output, std::size_t outputSize) {
  int in = open(input.c_str(), O_RDONLY | O_CLOEXEC);
  Check(in >= 0, "cannot open " + input);
  struct stat info {};
  fstat(in, &info);
  std::size_t size = static_cast<std::size_t>(info.st_size);
  std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
  for (std::size_t done = 0; done < size;) {
    ssize_t got = read(in, data.get() + done, size - done);
    Check(got > 0, "cannot read " + input);
    done += static_cast<std::size_t>(got);
  }
  close(in);

  std::string temporary = output + ".tmp";
  int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  Check(out >= 0, "cannot create " + temporary);
  for (std::size_t done = 0; done < outputSize;) {
    std::size_t at = done % size;
    std::size_t chunk = std::min({kBlock, outputSize - done, size - at});
    ssize_t put = write(out, data.get() + at, chunk);
    Check(put > 0, "cannot write " + output);
    done += static_cast<std::size_t>(put);
  }
  Check(close(out) == 0, "cannot close " + temporary);
  Check(rename(temporary.c_str(), output.c_str()) == 0, "cannot rename " + temporary);
}

// This process's peak resident memory in bytes.
std::size_t PeakResident() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  }
  return 0;
}

// The child's part: one file through the conversion service as the command line converts it,
// then its peak and whether the output was written on standard output.
int RunOnce(const std::string& input, const std::string& output, const std::string& font) {
  auto documents = std::make_unique<TOwnedDocuments>();
  TConversionOptions options;
  options.FontName = font;
  TFileOutcome outcome =
      ConvertFile(input, TFileKind::Drawing, output, options, documents->Refs(), TWriteMode::Replace, true, input);
  Check((outcome.Load.Complete || outcome.Load.HeaderOnly) && outcome.Write, "the drawing cannot be read");
  std::printf("%zu %d\n", PeakResident(), outcome.Write->Written ? 1 : 0);
  return 0;
}

struct TPeak {
  std::size_t bytes = 0;  // 0 when the child failed
  bool written = false;
};

// Converts input once in a new process of this program and answers its peak.
TPeak PeakOfFreshConversion(const std::string& input, const std::string& output, const std::string& font) {
  std::string self = fs::read_symlink("/proc/self/exe").string();
  int pipeFds[2];
  Check(pipe(pipeFds) == 0, "cannot make a pipe");
  pid_t child = fork();
  Check(child >= 0, "cannot start a process");
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execl(self.c_str(), self.c_str(), "--once", input.c_str(), output.c_str(), font.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[64];
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  char* end = nullptr;
  TPeak peak;
  peak.bytes = std::strtoull(text.c_str(), &end, 10);
  peak.written = std::strtol(end, nullptr, 10) == 1;
  return peak;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "MISS"; }

// One conversion's peak against the target; the output counts only when it was written.
void PrintPeak(const char* name, const std::string& input, const std::string& output, const std::string& font) {
  std::error_code ignored;
  fs::remove(output, ignored);
  TPeak peak = PeakOfFreshConversion(input, output, font);
  Check(peak.bytes > 0, "the conversion failed in its own process");
  std::size_t inputSize = fs::file_size(input);
  std::size_t outputSize = peak.written ? fs::file_size(output) : 0;
  double target = kMemoryFactor * static_cast<double>(inputSize + outputSize) + kMemoryAllowance;
  std::printf("  %-34s %9.1f %9.1f %9.1f %9.1f   %s%s\n", name, inputSize / kMiB, outputSize / kMiB, peak.bytes / kMiB,
              target / kMiB, Verdict(static_cast<double>(peak.bytes) <= target), peak.written ? "" : " (refused: over 2 GiB)");
  fs::remove(output, ignored);
}

void PrintRow(const char* name, const TTimes& t) {
  std::printf("  %-28s %9.1f %9.1f   ", name, t.Best(), t.Median());
  for (double ms : t.ms) std::printf(" %.1f", ms);
  std::printf("\n");
}

int Run(double scale) {
  auto scaled = [scale](double n) { return static_cast<std::size_t>(n * scale + 0.5); };
  TCounts counts{scaled(1'000'000), scaled(200'000), scaled(100'000), scaled(100'000), 60};
  TTempFolder folder;
  std::string input = (folder.path / "large.jwc").string();
  std::string output = (folder.path / "large.jww").string();
  std::string floorOutput = (folder.path / "floor.bin").string();

  {
    auto start = std::chrono::steady_clock::now();
    std::string drawing = MakeDrawing(counts);
    WriteFile(input, drawing);
    auto end = std::chrono::steady_clock::now();
    std::printf("Torvane drawing conversion benchmark (%s build), scale %g\n", TORVANE_BUILD_TYPE, scale);
    std::printf("drawing: %zu lines, %zu arcs, %zu real points, %zu texts, %zu virtual points, group scales "
                "1, 20, 50, 100; made in %.0f ms\n",
                counts.lines, counts.arcs, counts.points, counts.texts, counts.virtualPoints,
                std::chrono::duration<double, std::milli>(end - start).count());
  }

  // Measured first, before this process holds any document.
  std::printf("peak resident memory of one conversion in a fresh process (MiB), target %.1f x (input + output) + "
              "%.0f MiB:\n  %-34s %9s %9s %9s %9s\n",
              kMemoryFactor, kMemoryAllowance / kMiB, "", "input", "output", "peak", "target");
  PrintPeak("large generated drawing", input, output, kFont);
  {
    std::string sparse = (folder.path / "sparse.jwc").string();
    MakeSparseDrawing(sparse);
    PrintPeak("256 MiB of empty texts", sparse, output, kFont);
    PrintPeak("the same, 254-byte font name", sparse, output, kLongFont);
  }

  auto source = std::make_unique<TJwcData>();
  auto target = std::make_unique<TJwwData>();
  TTimes read = Measure([&] { ResetJwc(*source); }, [&] { Check(ReadJwc(input, *source), "read failed"); }, kRepetitions);
  TTimes convert = Measure([&] { ResetJwwDocument(*target); },
                           [&] { ConvertJwcToJww(kFont, true, *source, *target); }, kRepetitions);
  // Every timed write makes a new file, as a conversion usually does (replacing a file adds a
  // flush to the disk, which the floor does not make).
  TTimes write = Measure([&] { fs::remove(output); }, [&] { Check(WriteJww(output, *target), "write failed"); }, kRepetitions);
  std::size_t outputSize = fs::file_size(output);
  auto documents = std::make_unique<TOwnedDocuments>();
  TTimes whole = Measure([&] { fs::remove(output); }, [&] { Pipeline(input, output, *documents); }, kRepetitions);
  documents.reset();

  std::size_t inputSize = fs::file_size(input);
  TTimes floor = Measure([&] { fs::remove(floorOutput); }, [&] { CopyFloor(input, floorOutput, outputSize); }, kRepetitions);

  std::printf("input  %12zu bytes (%.1f MiB)\noutput %12zu bytes (%.1f MiB)\n", inputSize, inputSize / kMiB,
              outputSize, outputSize / kMiB);
  std::printf("times in ms over %d runs:      best    median    all\n", kRepetitions);
  PrintRow("(a) ReadJwc", read);
  PrintRow("(b) ConvertJwcToJww", convert);
  PrintRow("(c) WriteJww", write);
  PrintRow("(d) whole, as one pass", whole);
  PrintRow("(e) I/O floor (read + copy)", floor);
  double ratio = whole.Best() / floor.Best();
  std::printf("in process, whole / floor: %.2f best, %.2f median (target <= %.1f): %s\n", ratio,
              whole.Median() / floor.Median(), kRatioTarget, Verdict(ratio <= kRatioTarget));

  // End to end: the program's start, reading, converting, writing and exit, against the floor,
  // the two taking turns.
  TTimes program, programFloor, processFloor;
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  for (int round = 0; round < kEndToEndRounds; ++round) {
    TTimes one = Measure([&] { fs::remove(floorOutput); }, [&] { CopyFloor(input, floorOutput, outputSize); }, 1);
    programFloor.ms.push_back(one.ms.front());
    one = Measure([&] { fs::remove(output); }, [&] { ConvertWithProgram(input, output); }, 1);
    program.ms.push_back(one.ms.front());
    one = Measure([&] { fs::remove(floorOutput); },
                  [&] { RunProgram({self, "--floor", input, floorOutput, std::to_string(outputSize)}, "the floor"); }, 1);
    processFloor.ms.push_back(one.ms.front());
  }
  std::printf("end to end over %d rounds, each a floor run, a torvane-convert run and a floor process:\n",
              kEndToEndRounds);
  PrintRow("(f) torvane-convert", program);
  PrintRow("(g) I/O floor", programFloor);
  PrintRow("(h) I/O floor as a process", processFloor);
  // The ratio of each round, so that a disturbance falls on both of its runs.
  std::vector<double> ratios;
  for (int round = 0; round < kEndToEndRounds; ++round) ratios.push_back(program.ms[round] / programFloor.ms[round]);
  std::sort(ratios.begin(), ratios.end());
  std::printf("torvane-convert / floor: %.2f best, %.2f median of rounds; medians %.2f (target <= %.1f): %s\n",
              ratios.front(), ratios[ratios.size() / 2], program.Median() / programFloor.Median(), kEndToEndTarget,
              Verdict(ratios[ratios.size() / 2] <= kEndToEndTarget));
  // For comparison, the floor as a program of its own pays its start and exit too, as
  // torvane-convert does (dd or cp through one block of 1 MiB).
  std::vector<double> processRatios;
  for (int round = 0; round < kEndToEndRounds; ++round) processRatios.push_back(program.ms[round] / processFloor.ms[round]);
  std::sort(processRatios.begin(), processRatios.end());
  std::printf("torvane-convert / floor as a process: %.2f best, %.2f median of rounds\n", processRatios.front(),
              processRatios[processRatios.size() / 2]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 5 && std::strcmp(argv[1], "--once") == 0) return RunOnce(argv[2], argv[3], argv[4]);
    if (argc == 5 && std::strcmp(argv[1], "--floor") == 0) return StreamFloor(argv[2], argv[3], std::stoull(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "--sparse") == 0) {
      MakeSparseDrawing(argv[2]);
      return 0;
    }
    // The generated drawing alone, for profiling or for comparing the outputs of two builds.
    bool shown = argc == 3 && std::strcmp(argv[1], "--make-shown") == 0;
    if (shown || ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--make") == 0)) {
      double scale = argc == 4 ? std::strtod(argv[3], nullptr) : 1.0;
      auto scaled = [scale](double n) { return static_cast<std::size_t>(n * scale + 0.5); };
      WriteFile(argv[2],
                MakeDrawing({scaled(1'000'000), scaled(200'000), scaled(100'000), scaled(100'000), 60}, shown));
      return 0;
    }
    double scale = argc > 1 ? std::strtod(argv[1], nullptr) : 1.0;
    if (argc > 2 || !(scale > 0)) {
      std::fprintf(stderr, "usage: torvane_bench_convert [SCALE]\n");
      return 2;
    }
    return Run(scale);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torvane_bench_convert: %s\n", e.what());
    return 1;
  }
}
