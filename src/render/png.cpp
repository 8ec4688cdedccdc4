#include "render/png.h"

#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/ioerror.h"
#include "support/parallel.h"

namespace torvane {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
// The zlib stream's header: deflate with a 32 KiB window, made at the fastest level.
constexpr std::string_view kZlibHeader("\x78\x01", 2);
// Fewer rows than this are deflated in one part: a second thread would cost more than it saves.
constexpr int kRowsForTwoParts = 64;

void PutUint32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// A chunk of type whose data is the pieces one after another.
void WriteChunk(TByteSink& sink, std::string_view type, std::initializer_list<std::string_view> pieces) {
  std::size_t length = 0;
  for (std::string_view piece : pieces) length += piece.size();
  if (length > 0x7FFFFFFFu) throw TIoError::FromErrno(EFBIG, "");
  std::string head;
  PutUint32(head, static_cast<uint32_t>(length));
  head += type;
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type.data()), static_cast<uInt>(type.size()));
  sink.Write(reinterpret_cast<const uint8_t*>(head.data()), head.size());
  for (std::string_view piece : pieces) {
    // crc32 takes at most 4 GiB at a time; a chunk holds less than 2 GiB.
    crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
    sink.Write(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
  }
  std::string tail;
  PutUint32(tail, static_cast<uint32_t>(crc));
  sink.Write(reinterpret_cast<const uint8_t*>(tail.data()), tail.size());
}

// How many bytes a row takes unfiltered: a filter byte and channels bytes a pixel.
std::size_t RowBytes(const QImage& image, int channels) {
  return 1 + static_cast<std::size_t>(channels) * static_cast<std::size_t>(image.width());
}

// Whether every pixel of the RGB32 image is a gray, as a picture in the print scheme is: it is then
// written with one channel, a third of the bytes to deflate, and reads back as the same colours.
bool IsGray(const QImage& image) {
  std::atomic<bool> colour{false};
  // QImage's getters are calls into the library: asked once, not at every pixel.
  const int width = image.width();
  ForInHalves(static_cast<std::size_t>(image.height()), [&](std::size_t begin, std::size_t end) {
    for (std::size_t y = begin; y < end && !colour.load(std::memory_order_relaxed); ++y) {
      const QRgb* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(static_cast<int>(y)));
      bool gray = true;
      for (int x = 0; x < width; ++x) {
        gray &= qRed(pixels[x]) == qGreen(pixels[x]) && qGreen(pixels[x]) == qBlue(pixels[x]);
      }
      if (!gray) colour.store(true, std::memory_order_relaxed);
    }
  });
  return !colour.load();
}

// Deflated bytes are handed on in blocks of this size: small beside the picture, large enough that
// the chunks' framing costs nothing.
constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

// Deflates the rows [begin, end) of an RGB32 image unfiltered, raw, as gray (one channel, the
// red's) or RGB (three channels): a part of the image's zlib stream, handed to take(bytes) a block
// at a time. The last part finishes the stream; any other
// ends with a sync flush, on a whole byte, so that the next part follows it. adler takes in the
// check value of the unfiltered rows.
template <typename Take>
void DeflateRows(const QImage& image, int channels, int begin, int end, bool last, uLong& adler, const Take& take) {
  z_stream z{};
  // Gray rows are deflated as runs of one byte, twice as fast as the fastest level's search and
  // smaller; RGB rows are not (a colour repeats every three bytes), and take that search.
  int strategy = channels == 1 ? Z_RLE : Z_DEFAULT_STRATEGY;
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK) {
    throw TIoError::FromErrno(ENOMEM, "");
  }
  struct TEnd {
    z_stream& z;
    ~TEnd() { deflateEnd(&z); }
  } ending{z};
  std::vector<Bytef> row(RowBytes(image, channels));
  const int width = image.width();
  std::string block(kBlockBytes, '\0');
  auto hand = [&](std::size_t size) {
    if (size > 0) take(std::string_view(block.data(), size));
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
  };
  hand(0);
  int result = Z_OK;
  for (int y = begin; y < end; ++y) {
    const QRgb* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    Bytef* byte = row.data();
    *byte++ = 0;  // no filter
    if (channels == 1) {
      for (int x = 0; x < width; ++x) *byte++ = static_cast<Bytef>(qRed(pixels[x]));
    } else {
      for (int x = 0; x < width; ++x) {
        *byte++ = static_cast<Bytef>(qRed(pixels[x]));
        *byte++ = static_cast<Bytef>(qGreen(pixels[x]));
        *byte++ = static_cast<Bytef>(qBlue(pixels[x]));
      }
    }
    adler = adler32(adler, row.data(), static_cast<uInt>(row.size()));
    z.next_in = row.data();
    z.avail_in = static_cast<uInt>(row.size());
    int flush = y + 1 < end ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
    // Until the row is taken in and, at the end, everything is out.
    do {
      if (z.avail_out == 0) hand(block.size());
      result = deflate(&z, flush);
      if (result == Z_STREAM_ERROR) throw TIoError::FromErrno(ENOMEM, "");
    } while (result != Z_STREAM_END && (z.avail_in > 0 || z.avail_out == 0));
  }
  if (last && result != Z_STREAM_END) throw TIoError::FromErrno(ENOMEM, "");
  hand(block.size() - z.avail_out);
}

}  // namespace

// The upper half is deflated here and written as it comes; the lower half, deflated at the same
// time on the other core, is held until then, a megabyte or two.
void WritePng(TByteSink& sink, const QImage& picture, bool gray) {
  const QImage image = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) throw TIoError::FromErrno(ENOMEM, "");
  int height = image.height();
  int middle = height >= kRowsForTwoParts ? height / 2 : height;
  int channels = gray || IsGray(image) ? 1 : 3;

  sink.Write(reinterpret_cast<const uint8_t*>(kSignature.data()), kSignature.size());
  std::string header;
  PutUint32(header, static_cast<uint32_t>(image.width()));
  PutUint32(header, static_cast<uint32_t>(height));
  header.push_back(8);                      // bits a channel
  header.push_back(channels == 1 ? 0 : 2);  // gray or RGB
  header += std::string_view("\x00\x00\x00", 3);  // deflate, no filter choice, not interlaced
  WriteChunk(sink, "IHDR", {header});
  if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
    std::string resolution;
    PutUint32(resolution, static_cast<uint32_t>(image.dotsPerMeterX()));
    PutUint32(resolution, static_cast<uint32_t>(image.dotsPerMeterY()));
    resolution.push_back(1);  // per metre
    WriteChunk(sink, "pHYs", {resolution});
  }
  WriteChunk(sink, "IDAT", {kZlibHeader});

  auto write = [&sink](std::string_view bytes) { WriteChunk(sink, "IDAT", {bytes}); };
  uLong upperAdler = adler32(0L, nullptr, 0), lowerAdler = upperAdler;
  std::vector<std::string> lower;
  if (middle == height) {
    DeflateRows(image, channels, 0, height, true, upperAdler, write);
  } else {
    InParallel([&] { DeflateRows(image, channels, 0, middle, false, upperAdler, write); },
               [&] {
                 DeflateRows(image, channels, middle, height, true, lowerAdler,
                             [&lower](std::string_view bytes) { lower.emplace_back(bytes); });
               });
  }
  for (const std::string& bytes : lower) write(bytes);
  uLong adler = middle == height ? upperAdler
                                 : adler32_combine(upperAdler, lowerAdler,
                                                   static_cast<z_off_t>(RowBytes(image, channels) * static_cast<std::size_t>(height - middle)));
  std::string check;
  PutUint32(check, static_cast<uint32_t>(adler));
  WriteChunk(sink, "IDAT", {check});
  WriteChunk(sink, "IEND", {});
}

}  // namespace torvane
