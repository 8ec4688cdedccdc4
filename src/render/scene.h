// What a picture of a converted drawing or part draws, and where: the entities of the document
// with the layers that show, the paper, the geometry of arcs and texts and the dashes of line types.
// Nothing here paints; the painter, the SVG writer and the preview share it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/jwc2jww.h"
#include "drawing/jwwtables.h"
#include "drawing/jwwunit.h"
#include "shape/jwsunit.h"
#include "support/box.h"
#include "support/largearray.h"
#include "support/parallel.h"

namespace torvane {

struct TPointMm {
  double X = 0, Y = 0;
};

// A rectangle in millimetres.
using TBoxMm = TBox;

// The records of one kind that a picture draws: those a converted document holds, or those a
// drawing converted on demand makes, a run at a time, so that they never stand in memory whole.
template <typename Record>
class TRecordRuns {
 public:
  // Enough records to a run that making them on both cores pays, few enough to hold a megabyte or
  // two; runs are large blocks, taken again without page faults.
  static constexpr std::size_t kRunRecords = 16384;

  TRecordRuns() = default;
  TRecordRuns(std::span<const Record> stored) : stored_(stored), size_(stored.size()) {}
  // The maker must outlive the runs.
  explicit TRecordRuns(const TRecordMaker<Record>& maker)
      : maker_(&maker), size_(std::min(static_cast<std::size_t>(std::max(maker.Count, 0)), maker.Available)), all_(size_) {}

  // From now on only the made records on a layer whose byte has shown set are made and visited;
  // the others never are (all stay when the maker cannot tell a record's layer). A picture leaves
  // out what lies on hidden layers, often most of a drawing.
  void ShowOnly(const std::array<bool, 256>& shown) {
    if (maker_ == nullptr || !maker_->LayerOf) return;
    std::array<std::vector<TStretch>, 2> halves;
    ForInHalves(size_, [&](std::size_t begin, std::size_t end) {
      std::vector<TStretch>& found = halves[begin == 0 ? 0 : 1];
      for (std::size_t i = begin; i < end; ++i) {
        if (!shown[maker_->LayerOf(i)]) continue;
        if (found.empty() || found.back().End != i) found.push_back({i, i, 0});
        found.back().End = i + 1;
      }
    });
    stretches_ = std::move(halves[0]);
    stretches_.insert(stretches_.end(), halves[1].begin(), halves[1].end());
    size_ = 0;
    for (TStretch& stretch : stretches_) {
      stretch.Before = size_;
      size_ += stretch.End - stretch.Begin;
    }
    some_ = true;
  }

  // How many records a visit visits.
  std::size_t size() const { return size_; }
  // Whether ShowOnly left out most of the made records: making the others costs less than a look
  // at every record (making one costs some four times as much).
  bool MostLeftOut() const { return some_ && size_ < all_ / 4; }
  bool empty() const { return size_ == 0; }
  // The records when a converted document holds them; nothing when they are made in runs, which
  // cannot be looked up one by one.
  std::span<const Record> Held() const { return stored_; }

  // Calls visit(record) for every record in order; made records are made on both cores, a run at
  // a time, and then visited.
  template <typename Visit>
  void ForEach(const Visit& visit) const {
    if (maker_ == nullptr) {
      for (const Record& record : stored_) visit(record);
      return;
    }
    TLargeVector<Record> run(std::min(kRunRecords, size_));
    for (std::size_t begin = 0; begin < size_; begin += run.size()) {
      std::span<Record> made(run.data(), std::min(run.size(), size_ - begin));
      ForInHalves(made.size(), [&](std::size_t b, std::size_t e) { Make(begin + b, made.subspan(b, e - b)); });
      for (const Record& record : made) visit(record);
    }
  }

  // Calls visit(record, side) for every record, in no particular order: the records are split
  // between the two cores, side 0 and side 1, which also make them.
  template <typename Visit>
  void ForEachOnBothCores(const Visit& visit) const {
    auto visitHalf = [&](std::span<const Record> records, std::size_t begin) {
      for (const Record& record : records) visit(record, begin == 0 ? 0 : 1);
    };
    if (maker_ == nullptr) {
      ForInHalves(stored_.size(), [&](std::size_t b, std::size_t e) { visitHalf(stored_.subspan(b, e - b), b); });
      return;
    }
    TLargeVector<Record> run(std::min(kRunRecords, size_));
    for (std::size_t begin = 0; begin < size_; begin += run.size()) {
      std::span<Record> made(run.data(), std::min(run.size(), size_ - begin));
      ForInHalves(made.size(), [&](std::size_t b, std::size_t e) {
        Make(begin + b, made.subspan(b, e - b));
        visitHalf(made.subspan(b, e - b), b);
      });
    }
  }

  // The same for a visit that costs about as much as making the record (painting it): while one
  // run is visited here, the next is made on the other core.
  template <typename Visit>
  void ForEachWhileMaking(const Visit& visit) const {
    if (maker_ == nullptr || size_ <= kRunRecords) {
      ForEach(visit);
      return;
    }
    ForEachRunMakingTheNext([&](std::span<const Record> run, std::size_t following, std::span<Record> next) {
      InParallel([&] { for (const Record& record : run) visit(record); },
                 [&] { if (!next.empty()) Make(following, next); });
    });
  }

  // Calls visit(run, 0) and visit(run, 1) at once on the two cores for every run in order (held
  // records come as one run); after its visit each core makes half of the next run.
  template <typename Visit>
  void ForEachRunOnBothCores(const Visit& visit) const {
    if (maker_ == nullptr) {
      if (!stored_.empty()) InParallel([&] { visit(stored_, 0); }, [&] { visit(stored_, 1); });
      return;
    }
    ForEachRunMakingTheNext([&](std::span<const Record> run, std::size_t following, std::span<Record> next) {
      std::size_t half = next.size() / 2;
      InParallel([&] {
        visit(run, 0);
        if (half > 0) Make(following, next.first(half));
      }, [&] {
        visit(run, 1);
        if (next.size() > half) Make(following + half, next.subspan(half));
      });
    });
  }

 private:
  // Makes the first run on both cores, then calls step(run, following, next) for every made run
  // in order; step visits run and makes next, the run from record following on (empty after the
  // last), into the other of two buffers.
  template <typename Step>
  void ForEachRunMakingTheNext(const Step& step) const {
    std::size_t length = std::min(kRunRecords, size_);
    TLargeVector<Record> run(length), next(length);
    std::span<Record> made(run.data(), length);
    ForInHalves(made.size(), [&](std::size_t b, std::size_t e) { Make(b, made.subspan(b, e - b)); });
    for (std::size_t begin = 0; begin < size_; begin += length) {
      std::size_t following = begin + length;
      std::span<Record> ahead(next.data(), following < size_ ? std::min(length, size_ - following) : 0);
      step(std::span<const Record>(made), following, ahead);
      std::swap(run, next);
      made = ahead;
    }
  }

  // Makes the visited records from the one at position at on into out.
  void Make(std::size_t at, std::span<Record> out) const {
    if (!some_) {
      maker_->Make(at, out);
      return;
    }
    if (out.empty()) return;
    // The stretch that holds position at: the last that begins at or before it.
    auto stretch = std::upper_bound(stretches_.begin(), stretches_.end(), at,
                                    [](std::size_t position, const TStretch& s) { return position < s.Before; }) - 1;
    while (!out.empty()) {
      std::size_t from = stretch->Begin + (at - stretch->Before);
      std::size_t count = std::min(out.size(), stretch->End - from);
      maker_->Make(from, out.first(count));
      out = out.subspan(count);
      at += count;
      ++stretch;
    }
  }

  // Made records [Begin, End) that are visited, with Before visited ahead of them.
  struct TStretch {
    std::size_t Begin, End, Before;
  };

  std::span<const Record> stored_;
  const TRecordMaker<Record>* maker_ = nullptr;
  std::size_t size_ = 0;
  std::size_t all_ = 0;  // the records made when none is left out
  std::vector<TStretch> stretches_;
  bool some_ = false;  // only the records of stretches_ are visited
};

// A converted document as pictures see it. The document must outlive the scene.
struct TScene {
  TRecordRuns<TWSen> Lines;
  TRecordRuns<TWEnko> Arcs;
  TRecordRuns<TWTen> Points;
  TRecordRuns<TWMoji> Texts;
  const TTextPool* TextPool = nullptr;
  // A drawing's layer groups and layers with their names and states; a part has none, and shows
  // every entity.
  const std::array<TWGLayer, 16>* Groups = nullptr;
  const std::array<TWLayer, 256>* Layers = nullptr;
  // The drawing's paper about the origin; nothing for a part or a paper code without a size.
  std::optional<TPaperSize> Paper;
  // The drawing converted on demand that makes the records, if they are made.
  const TMadeJww* Made = nullptr;

  // False for an entity on a layer or in a layer group marked hidden (state 0).
  bool Visible(const TEntityHeader& header) const;
  std::string_view TextOf(const TWMoji& text) const;
  // The box of every visible entity.
  TBoxMm Extent() const;
  // What a picture of the whole shows: the paper and every visible entity.
  TBoxMm Bounds() const;
};

TScene SceneOf(const TJwwData& drawing);
// A drawing converted on demand: each pass over its records makes them again.
TScene SceneOf(const TMadeJww& drawing);
TScene SceneOf(const TJwsData& part);

// The points of an arc at parameters t (radians, about its own axes before the tilt): the tilt's
// sine and cosine taken once for all of them.
class TArcPoints {
 public:
  explicit TArcPoints(const TWEnko& arc);
  TPointMm operator()(double t) const;

 private:
  const TWEnko& arc_;
  double cos_, sin_;
};
// The point of one arc at parameter t.
TPointMm ArcPoint(const TWEnko& arc, double t);
// The start parameter and the signed sweep that draw the arc (a whole circle sweeps 2π).
std::pair<double, double> ArcSweep(const TWEnko& arc);
TBoxMm ArcBox(const TWEnko& arc);
// How many chords draw the arc at scale units to the millimetre, none straying more than maxError
// units from it (4 at the least, 4096 at the most).
int ArcChords(const TWEnko& arc, double scale, double maxError);

// One character of a text: its bytes in CP932, where its cell starts along the base line from the
// start point and how wide it is (mm). A double-byte character takes the text's width, a
// single-byte one half of it, and each is followed by the spacing (halved alike).
struct TTextCell {
  std::string_view Bytes;
  double Offset = 0, Width = 0;
};
std::vector<TTextCell> TextCells(const TWMoji& text, std::string_view cp932);
// The length of the text along its base line: its cells without the spacing after the last.
double TextLength(const std::vector<TTextCell>& cells);
double TextLength(const TWMoji& text, std::string_view cp932);
// The corners of the text's box: bottom-left (the start point), bottom-right, top-right, top-left.
std::array<TPointMm, 4> TextBox(const TWMoji& text, std::string_view cp932);

// The line type a pen style draws with: 2 to 9 the line types, 16 to 19 the double-length types 6
// to 9; nothing for a solid line (1, and styles without a dashed type of their own).
const TJwwLineType* LineTypeOf(uint8_t penStyle);
// The runs of the type's repeating unit, read from the mask's highest bit, in bits: dash, gap,
// dash, gap, ... beginning with a dash, and how many bits into the first run the line begins.
struct TDashRuns {
  std::vector<double> Runs;
  double Offset = 0;
};
TDashRuns DashRuns(const TJwwLineType& type);

// The random line type a pen style draws with: 11 to 15 the random lines 1 to 5; nothing for any
// other style.
const TJwwRandomLine* RandomLineOf(uint8_t penStyle);

// How a random line wanders about its axis, in the units of the points it is laid along: one bit of
// the mask (read from its highest bit, all 32 repeating) to each step along the axis, the line
// lying Amplitude to the left of the axis for a set bit and to the right for a clear one (a
// negative amplitude the other way round), joined straight from point to point, and on the axis at
// both ends.
struct TWave {
  uint32_t Pattern = 0;
  double Step = 1, Amplitude = 0;
};
// The pieces of the random line along the polyline axis that lie within box (all of it without
// one); a piece ends where the axis leaves the box. Its points follow the axis's own length, so
// the part of a line in view wanders as the whole line does. A segment of the axis whose part
// in view is longer than maxSteps steps is laid straight along it.
std::vector<std::vector<TPointMm>> WavePieces(std::span<const TPointMm> axis, const TWave& wave, const TBoxMm* box,
                                              std::size_t maxSteps);

}  // namespace torvane
