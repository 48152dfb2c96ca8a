#include "codec/CPngEncoder.h"

#include "tiles/ParallelWork.h"

#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <vector>

#include <zlib.h>

namespace {

constexpr std::size_t Window = 32 * 1024;       // what deflate looks back over
constexpr std::size_t BlockBytes = 1024 * 1024; // filtered bytes per block of work

int Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// How far a filtered row is from all zeros, its bytes taken as signed: libpng's measure.
std::uint64_t Distance(const std::uint8_t* row, std::size_t n)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += row[i] < 128 ? row[i] : 256 - row[i];
    return sum;
}

// The pixel bytes of picture rows, unfiltered, and the filtering of one of them.
class Rows
{
public:
    Rows(QSize size, bool asGrey, const RowReader& rowReader)
        : width(size.width()), bpp(asGrey ? 1 : 3), grey(asGrey), reader(rowReader)
    {
    }

    int Width() const { return width; }
    std::size_t Bytes() const { return std::size_t(width) * bpp; }

    // Row `y` as PNG pixel bytes, into `out` of Bytes(); `pixels` holds width() RGB32 pixels.
    void Read(int y, std::uint32_t* pixels, std::uint8_t* out) const
    {
        reader(y, pixels);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[x];
            if (grey) {
                out[x] = std::uint8_t(p);
            } else {
                out[3 * x] = std::uint8_t(p >> 16);
                out[3 * x + 1] = std::uint8_t(p >> 8);
                out[3 * x + 2] = std::uint8_t(p);
            }
        }
    }

    // `raw` filtered against `above` (zeros for the first row) with whichever of the five filters
    // leaves it nearest to zeros, as libpng chooses, into `out`: the filter's byte, then Bytes()
    // bytes. `trial` holds as many.
    void Filter(const std::uint8_t* raw, const std::uint8_t* above, std::uint8_t* out, std::uint8_t* trial) const
    {
        const std::size_t n = Bytes(), b = std::size_t(bpp);
        std::uint8_t* best = out;
        std::uint64_t bestDistance = ~std::uint64_t(0);
        for (int type = 0; type < 5; ++type) {
            std::uint8_t* f = trial + 1;
            trial[0] = std::uint8_t(type);
            switch (type) {
            case 0:
                std::memcpy(f, raw, n);
                break;
            case 1:
                for (std::size_t i = 0; i < n; ++i)
                    f[i] = std::uint8_t(raw[i] - (i >= b ? raw[i - b] : 0));
                break;
            case 2:
                for (std::size_t i = 0; i < n; ++i)
                    f[i] = std::uint8_t(raw[i] - above[i]);
                break;
            case 3:
                for (std::size_t i = 0; i < n; ++i)
                    f[i] = std::uint8_t(raw[i] - (((i >= b ? raw[i - b] : 0) + above[i]) >> 1));
                break;
            default:
                for (std::size_t i = 0; i < b && i < n; ++i)
                    f[i] = std::uint8_t(raw[i] - above[i]); // Paeth with nothing to the left
                for (std::size_t i = b; i < n; ++i)
                    f[i] = std::uint8_t(raw[i] - Paeth(raw[i - b], above[i], above[i - b]));
                break;
            }
            const std::uint64_t distance = Distance(f, n);
            if (distance < bestDistance) {
                bestDistance = distance;
                std::swap(best, trial);
            }
        }
        if (best != out)
            std::memcpy(out, best, n + 1);
    }

private:
    int width;
    int bpp;
    bool grey;
    const RowReader& reader;
};

// One block of rows, deflated on its own with the window of the rows before it.
struct Block
{
    int first = 0, last = 0; // rows [first, last)
    std::vector<std::uint8_t> deflated;
    uLong adler = 1;
    std::size_t filteredBytes = 0;
    bool ok = false;
};

// What one thread reuses from block to block, so that each block does not fault in fresh pages.
struct Scratch
{
    std::vector<std::uint8_t> filtered, raw, trial, deflated;
    std::vector<std::uint32_t> pixels;
};

class BlockDeflater
{
public:
    BlockDeflater(const Rows& picture, int pictureHeight) : rows(picture), height(pictureHeight) {}

    // Filters and deflates `block`; the last block ends the stream.
    void Run(Block& block, Scratch& s) const
    {
        const std::size_t n = rows.Bytes();
        // The rows of the window first: deflate may refer back into them.
        const int windowRows = int(std::min<std::size_t>(block.first, (Window + n) / (n + 1) + 1));
        const int from = block.first - windowRows;
        s.filtered.resize(std::size_t(block.last - from) * (n + 1));
        s.raw.resize(2 * n);
        s.trial.resize(n + 1);
        s.pixels.resize(std::size_t(rows.Width()));
        std::uint8_t* above = s.raw.data();
        std::uint8_t* current = s.raw.data() + n;
        std::fill(above, above + n, 0);
        if (from > 0)
            rows.Read(from - 1, s.pixels.data(), above);
        for (int y = from; y < block.last; ++y) {
            rows.Read(y, s.pixels.data(), current);
            rows.Filter(current, above, s.filtered.data() + std::size_t(y - from) * (n + 1), s.trial.data());
            std::swap(above, current);
        }
        const std::size_t windowBytes = std::size_t(windowRows) * (n + 1);
        const std::uint8_t* own = s.filtered.data() + windowBytes;
        block.filteredBytes = s.filtered.size() - windowBytes;
        block.adler = adler32(1, own, uInt(block.filteredBytes));
        block.ok = Deflate(s.filtered.data(), windowBytes, block.filteredBytes, block.last == height, s.deflated);
        if (block.ok)
            block.deflated.assign(s.deflated.begin(), s.deflated.end());
    }

private:
    // Deflates `bytes` after a window of `windowBytes` at `data` into `out`.
    static bool Deflate(const std::uint8_t* data, std::size_t windowBytes, std::size_t bytes, bool last,
                        std::vector<std::uint8_t>& out)
    {
        z_stream z = {};
        if (deflateInit2(&z, CPngEncoder::Level, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK)
            return false;
        const std::size_t dictionary = std::min(windowBytes, Window);
        if (dictionary > 0)
            deflateSetDictionary(&z, data + windowBytes - dictionary, uInt(dictionary));
        out.resize(deflateBound(&z, uLong(bytes)) + 16);
        z.next_in = const_cast<Bytef*>(data + windowBytes);
        z.avail_in = uInt(bytes);
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        // A block that is not the last ends on a byte boundary without closing the stream.
        const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        return last ? result == Z_STREAM_END : result == Z_OK && z.avail_in == 0;
    }

    const Rows& rows;
    int height;
};

// Appends a chunk whose payload is `pieces` one after the other.
void AppendChunk(QByteArray& out, const char* type, std::initializer_list<QByteArrayView> pieces)
{
    qsizetype length = 0;
    for (const QByteArrayView piece : pieces)
        length += piece.size();
    char word[4];
    qToBigEndian(quint32(length), word);
    out.append(word, 4);
    const qsizetype start = out.size();
    out.append(type, 4);
    for (const QByteArrayView piece : pieces)
        out.append(piece);
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start), uInt(out.size() - start))),
                 word);
    out.append(word, 4);
}

QByteArray Header(QSize size, bool grey)
{
    QByteArray header(13, '\0');
    qToBigEndian(quint32(size.width()), header.data());
    qToBigEndian(quint32(size.height()), header.data() + 4);
    header[8] = 8;                  // bits per channel
    header[9] = char(grey ? 0 : 2); // grey or RGB
    return header;
}

} // namespace

bool CPngEncoder::Encode(QSize size, bool grey, const RowReader& reader, QByteArray& out, QSize dotsPerMeter)
{
    out.clear();
    if (size.isEmpty())
        return false;
    try {
        const Rows rows(size, grey, reader);
        const std::size_t rowBytes = rows.Bytes() + 1;
        const int rowsPerBlock = int(std::max<std::size_t>(1, BlockBytes / rowBytes));
        std::vector<Block> blocks;
        for (int y = 0; y < size.height(); y += rowsPerBlock)
            blocks.push_back({y, std::min(size.height(), y + rowsPerBlock), {}, 1, 0, false});
        const BlockDeflater deflater(rows, size.height());
        std::atomic<std::size_t> next{0};
        std::atomic<bool> failed{false};
        RunOnThreads(blocks.size() > 1 ? AllCores() : 1u, [&] {
            try {
                Scratch scratch;
                for (std::size_t i = next++; i < blocks.size() && !failed; i = next++) {
                    deflater.Run(blocks[i], scratch);
                    failed = failed || !blocks[i].ok;
                }
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        });
        if (failed)
            return false;

        // Each block is a chunk of the image data: the zlib header before the first, the checksum
        // of the whole stream after the last.
        qsizetype total = 128;
        uLong adler = 1;
        for (const Block& block : blocks) {
            total += qsizetype(block.deflated.size()) + 12;
            adler = adler32_combine(adler, block.adler, z_off_t(block.filteredBytes));
        }
        char checksum[4];
        qToBigEndian(quint32(adler), checksum);
        out.reserve(total);
        out.append("\x89PNG\r\n\x1a\n", 8);
        AppendChunk(out, "IHDR", {Header(size, grey)});
        if (dotsPerMeter.width() > 0 && dotsPerMeter.height() > 0) {
            QByteArray physical(9, '\0');
            qToBigEndian(quint32(dotsPerMeter.width()), physical.data());
            qToBigEndian(quint32(dotsPerMeter.height()), physical.data() + 4);
            physical[8] = 1; // per metre
            AppendChunk(out, "pHYs", {physical});
        }
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const std::vector<std::uint8_t>& deflated = blocks[i].deflated;
            const QByteArrayView body(reinterpret_cast<const char*>(deflated.data()), qsizetype(deflated.size()));
            AppendChunk(out, "IDAT",
                        {i == 0 ? QByteArrayView("\x78\x9C", 2) : QByteArrayView(), body,
                         i + 1 == blocks.size() ? QByteArrayView(checksum, 4) : QByteArrayView()});
            std::vector<std::uint8_t>().swap(blocks[i].deflated); // gone once copied
        }
        AppendChunk(out, "IEND", {});
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}
