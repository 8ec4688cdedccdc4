// Writing the object list: records formatted straight into the output's blocks, run by run. A
// long list is made and formatted on two threads, each run into a block of its own, and the
// blocks go to the sink in their order as soon as the ones before them have gone.

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <type_traits>
#include <vector>

#include "support/cp932.h"
#include "support/largearray.h"
#include "support/parallel.h"
#include "support/records.h"

namespace torvane {
namespace {

// Records are made and formatted this many at a time.
constexpr std::size_t kRun = 8192;
// Made records are formatted this many at a time (some 25 KB of the largest).
constexpr std::size_t kMadeAtOnce = 256;
// Blocks formatted ahead of the one being written.
constexpr std::size_t kSlots = 4;
// Below this many records one thread formats the list into the writer's buffer: the second
// thread's wake-ups and the blocks' own writes would cost more than they save.
constexpr std::size_t kParallelRecords = 4 * kRun;

// The fixed bytes of each record after its class tag: the 13-byte entity header and the fields.
constexpr std::size_t kEntityHeaderBytes = 13;
constexpr std::size_t kLineBytes = kEntityHeaderBytes + 4 * 8;
constexpr std::size_t kArcBytes = kEntityHeaderBytes + 7 * 8 + 4;
constexpr std::size_t kPointBytes = kEntityHeaderBytes + 2 * 8 + 4;
constexpr std::size_t kTextBytes = kEntityHeaderBytes + 4 * 8 + 4 + 4 * 8;

// What every text record takes from its document; the font name already cut to its 254 bytes.
struct TTextContext {
  std::string_view FontName;
  const TTextPool* Texts;
};

uint8_t* StoreHeader(uint8_t* p, const TEntityHeader& h) {
  p = StoreLittleEndian(p, static_cast<uint32_t>(h.Group));
  p = StoreLittleEndian(p, h.PenStyle);
  p = StoreLittleEndian(p, h.PenColor);
  p = StoreLittleEndian(p, h.Layer);
  p = StoreLittleEndian(p, h.LayerGroup);
  return StoreLittleEndian(p, h.Flags);
}

// How a record begins: the class's introduction before its first object, a reference before
// every further one.
struct TTag {
  bool IsNew;
  std::string_view Name;
  uint32_t Index;
  std::size_t Bytes() const { return IsNew ? NewClassBytes(Name) : ClassRefBytes(Index); }
  uint8_t* Store(uint8_t* p) const { return IsNew ? StoreNewClass(p, Name) : StoreClassRef(p, Index); }
};

// Out is the archive writer or a block: both take Put(size, format) and WriteBytes.
template <typename Out>
void Format(Out& out, const TTag& tag, const TWSen& s, const TTextContext&) {
  out.Put(tag.Bytes() + kLineBytes, [&](uint8_t* p) {
    p = StoreHeader(tag.Store(p), s.Header);
    for (double v : {s.X1, s.Y1, s.X2, s.Y2}) p = StoreDouble(p, v);
  });
}

template <typename Out>
void Format(Out& out, const TTag& tag, const TWEnko& e, const TTextContext&) {
  out.Put(tag.Bytes() + kArcBytes, [&](uint8_t* p) {
    p = StoreHeader(tag.Store(p), e.Header);
    for (double v : {e.CenterX, e.CenterY, e.Radius, e.StartAngle, e.ArcAngle, e.TiltAngle, e.Flatness}) {
      p = StoreDouble(p, v);
    }
    StoreLittleEndian(p, static_cast<uint32_t>(e.FullCircle));
  });
}

template <typename Out>
void Format(Out& out, const TTag& tag, const TWTen& t, const TTextContext&) {
  out.Put(tag.Bytes() + kPointBytes, [&](uint8_t* p) {
    p = StoreHeader(tag.Store(p), t.Header);
    p = StoreDouble(p, t.X);
    p = StoreDouble(p, t.Y);
    StoreLittleEndian(p, static_cast<uint32_t>(t.Virtual));
  });
}

template <typename Out>
void Format(Out& out, const TTag& tag, const TWMoji& m, const TTextContext& context) {
  std::string_view text = context.Texts != nullptr ? context.Texts->Of(m.Text) : "";
  std::string_view font = context.FontName;
  // Everything up to the text's own bytes, which may be long, is formatted in place.
  out.Put(tag.Bytes() + kTextBytes + 1 + font.size() + LengthPrefixBytes(text.size()), [&](uint8_t* p) {
    p = StoreHeader(tag.Store(p), m.Header);
    for (double v : {m.X1, m.Y1, m.X2, m.Y2}) p = StoreDouble(p, v);
    p = StoreLittleEndian(p, static_cast<uint32_t>(m.MojiType));
    for (double v : {m.SizeX, m.SizeY, m.Spacing, m.Angle}) p = StoreDouble(p, v);
    p = StoreLittleEndian(p, static_cast<uint8_t>(font.size()));
    std::copy(font.begin(), font.end(), p);
    StoreLengthPrefix(p + font.size(), text.size());
  });
  out.WriteBytes(text.data(), text.size());
}

// A growing byte block that a run is formatted into; it keeps its memory for the next run.
class TBlock {
 public:
  template <typename FormatBytes>
  void Put(std::size_t size, const FormatBytes& format) {
    format(Extend(size));
  }
  void WriteBytes(const void* data, std::size_t size) {
    if (size > 0) std::memcpy(Extend(size), data, size);
  }
  void Clear() { size_ = 0; }
  const uint8_t* Data() const { return data_.get(); }
  std::size_t Size() const { return size_; }

 private:
  uint8_t* Extend(std::size_t size) {
    if (size > capacity_ - size_) {
      // A run of records fits the first megabyte: two blocks share a huge page.
      std::size_t capacity = std::max({size_ + size, 2 * capacity_, kFirstBlockBytes});
      std::unique_ptr<uint8_t, TLargeRelease> grown(static_cast<uint8_t*>(AllocateLarge(capacity)),
                                                    TLargeRelease{capacity});
      if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    uint8_t* at = data_.get() + size_;
    size_ += size;
    return at;
  }

  static constexpr std::size_t kFirstBlockBytes = std::size_t{1} << 20;
  std::unique_ptr<uint8_t, TLargeRelease> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// Where the records of a class come from: a stored array, or a maker that fills a buffer.
template <typename Record>
struct TClassSource {
  std::string_view Name;
  std::size_t Count = 0;  // records to write
  std::span<const Record> Stored;
  const std::function<void(std::size_t, std::span<Record>)>* Make = nullptr;

  // Records [begin, begin + n): from the array, or made into room for n records.
  std::span<const Record> Run(std::size_t begin, std::size_t n, Record* room) const {
    if (Make == nullptr) return Stored.subspan(begin, n);
    std::span<Record> out(room, n);
    (*Make)(begin, out);
    return out;
  }
};

// A run of one class: records [Begin, End) of class Kind (0 lines, 1 arcs, 2 points, 3 texts).
struct TRun {
  int Kind;
  std::size_t Begin, End;
  uint32_t Index;  // the class's reference index
};

class TListWriter {
 public:
  TListWriter(TClassSource<TWSen> sens, TClassSource<TWEnko> enkos, TClassSource<TWTen> tens,
              TClassSource<TWMoji> mojis, TTextContext context)
      : sens_(sens), enkos_(enkos), tens_(tens), mojis_(mojis), context_(context) {
    uint32_t counter = 1;
    auto plan = [&](int kind, std::size_t count) {
      if (count == 0) return;
      for (std::size_t begin = 0; begin < count; begin += kRun) {
        runs_.push_back(TRun{kind, begin, std::min(count, begin + kRun), counter});
      }
      counter += static_cast<uint32_t>(1 + count);
      records_ += count;
    };
    plan(0, sens_.Count);
    plan(1, enkos_.Count);
    plan(2, tens_.Count);
    plan(3, mojis_.Count);
  }

  std::size_t Runs() const { return runs_.size(); }
  std::size_t Records() const { return records_; }

  template <typename Out>
  void FormatRun(Out& out, std::size_t run) const {
    const TRun& r = runs_[run];
    switch (r.Kind) {
      case 0: return FormatRecords(out, r, sens_);
      case 1: return FormatRecords(out, r, enkos_);
      case 2: return FormatRecords(out, r, tens_);
      default: return FormatRecords(out, r, mojis_);
    }
  }

 private:
  template <typename Out, typename Record>
  void FormatRecords(Out& out, const TRun& r, const TClassSource<Record>& source) const {
    // Made records are formatted a few at a time, while the cache still holds them; a maker fills
    // every field of the records it is given, which are plain aggregates.
    static_assert(std::is_aggregate_v<Record> && std::is_trivially_copyable_v<Record>);
    alignas(Record) std::byte room[kMadeAtOnce * sizeof(Record)];
    const std::size_t step = source.Make == nullptr ? r.End - r.Begin : kMadeAtOnce;
    for (std::size_t begin = r.Begin; begin < r.End; begin += step) {
      std::span<const Record> records =
          source.Run(begin, std::min(step, r.End - begin), reinterpret_cast<Record*>(room));
      for (std::size_t k = 0; k < records.size(); ++k) {
        Format(out, TTag{begin + k == 0, source.Name, r.Index}, records[k], context_);
      }
    }
  }

  TClassSource<TWSen> sens_;
  TClassSource<TWEnko> enkos_;
  TClassSource<TWTen> tens_;
  TClassSource<TWMoji> mojis_;
  TTextContext context_;
  std::vector<TRun> runs_;
  std::size_t records_ = 0;
};

// Formats the runs on this thread and another into kSlots blocks and writes each block as soon
// as every block before it is written; whichever thread finds the next block ready writes it.
// The first failure (a write, or a run that cannot be made) stops both and reaches the caller.
class TOrderedBlocks {
 public:
  // tail ends the last block (the list's closing bytes), so that it needs no write of its own.
  TOrderedBlocks(TByteSink& sink, const TListWriter& list, std::span<const uint8_t> tail)
      : sink_(sink), list_(list), tail_(tail) {}

  void Run() {
    InParallel([this] { Work(); }, [this] { Work(); });
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    while (error_ == nullptr && next_ < list_.Runs()) {
      std::size_t run = next_++;
      changed_.wait(lock, [&] { return error_ != nullptr || run < written_ + kSlots; });
      if (error_ != nullptr) break;
      TBlock& block = slots_[run % kSlots];
      lock.unlock();
      bool made = Attempt([&] {
        block.Clear();
        list_.FormatRun(block, run);
        if (run + 1 == list_.Runs()) block.WriteBytes(tail_.data(), tail_.size());
      });
      lock.lock();
      if (!made) break;
      ready_[run % kSlots] = true;
      if (!writing_) WriteReady(lock);
    }
  }

  // Writes the blocks that are ready, in order; the lock is let go while one is written.
  void WriteReady(std::unique_lock<std::mutex>& lock) {
    writing_ = true;
    while (error_ == nullptr && written_ < list_.Runs() && ready_[written_ % kSlots]) {
      const TBlock& block = slots_[written_ % kSlots];
      lock.unlock();
      bool wrote = Attempt([&] { sink_.Write(block.Data(), block.Size()); });
      lock.lock();
      if (!wrote) break;
      ready_[written_ % kSlots] = false;
      ++written_;
      changed_.notify_all();
    }
    writing_ = false;
  }

  // Runs step; on failure keeps the first exception, wakes the other thread and answers false.
  template <typename Step>
  bool Attempt(const Step& step) {
    try {
      step();
      return true;
    } catch (...) {
      std::lock_guard guard(mutex_);
      if (error_ == nullptr) error_ = std::current_exception();
      changed_.notify_all();
      return false;
    }
  }

  TByteSink& sink_;
  const TListWriter& list_;
  std::span<const uint8_t> tail_;
  std::mutex mutex_;
  std::condition_variable changed_;
  TBlock slots_[kSlots];
  bool ready_[kSlots] = {};
  std::size_t next_ = 0, written_ = 0;
  bool writing_ = false;
  std::exception_ptr error_;
};

// A class writes at most as many records as its count and its source hold.
std::size_t Writable(int32_t count, std::size_t available) {
  return std::min(static_cast<std::size_t>(std::max(count, 0)), available);
}

template <typename Record>
TClassSource<Record> Stored(std::string_view name, int32_t count, std::span<const Record> records) {
  return TClassSource<Record>{name, Writable(count, records.size()), records, nullptr};
}

template <typename Record>
TClassSource<Record> Made(std::string_view name, const TRecordMaker<Record>& maker) {
  return TClassSource<Record>{name, Writable(maker.Count, maker.Available), {}, &maker.Make};
}

void WriteList(TArchiveWriter& w, int32_t totalCount, const TListWriter& list) {
  if (totalCount == 0) {
    w.WriteDword(0);
    return;
  }
  w.WriteCount(static_cast<uint32_t>(totalCount));
  // Two threads pay only for a long list, and only where no other file is converting.
  if (list.Records() >= kParallelRecords && !SerialWorkOnThisThread) {
    w.Flush();
    static constexpr uint8_t kClosing[2] = {0, 0};
    TOrderedBlocks(w.Sink(), list, kClosing).Run();
    return;
  }
  for (std::size_t run = 0; run < list.Runs(); ++run) list.FormatRun(w, run);
  w.WriteWord(0);
}

std::string_view ShortFontName(std::string_view name) { return name.substr(0, Cp932PrefixLength(name, 254)); }

}  // namespace

void WriteEntityList(TArchiveWriter& w, const TEntityLists& lists) {
  TListWriter list(Stored("CDataSen", lists.SenCount, lists.Sens), Stored("CDataEnko", lists.EnkoCount, lists.Enkos),
                   Stored("CDataTen", lists.TenCount, lists.Tens), Stored("CDataMoji", lists.MojiCount, lists.Mojis),
                   TTextContext{ShortFontName(lists.FontName), lists.Texts});
  WriteList(w, lists.TotalCount, list);
}

void WriteEntityList(TArchiveWriter& w, const TMadeEntities& entities) {
  TListWriter list(Made("CDataSen", entities.Sens), Made("CDataEnko", entities.Enkos), Made("CDataTen", entities.Tens),
                   Made("CDataMoji", entities.Mojis), TTextContext{ShortFontName(entities.FontName), entities.Texts});
  WriteList(w, entities.TotalCount, list);
}

}  // namespace torvane
