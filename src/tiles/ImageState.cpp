#include "tiles/ImageState.h"

#include "tiles/CSpilledTile.h"
#include "tiles/ParallelWork.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

constexpr int Slab = CTilePool::PixelsPerTile;

constexpr std::uint64_t PictureLimitBytes = std::uint64_t(ImageState::PictureLimitMiB) << 20;
// What the tiles of the largest picture allowed may take: tiles stay within twice the pixels.
constexpr std::uint64_t TileLimitBytes = 2 * PictureLimitBytes;

std::int64_t TilesFor(std::int64_t pixels, int tileSide)
{
    return (pixels + tileSide - 1) / tileSide;
}

// Tiles of tileWidth × (Slab / tileWidth) pixels for a picture of width × height.
struct TileShape
{
    TileShape(int width, int height, int wide)
        : tileWidth(wide), tiles(TilesFor(width, wide) * TilesFor(height, Slab / wide)),
          // The part of a tile inside the picture, which an edit there copies.
          across(std::min(wide, width)), down(std::min(Slab / wide, height))
    {
    }

    // A part whose sides are nearer equal.
    bool SquarerThan(const TileShape& other) const
    {
        return std::int64_t(std::max(across, down)) * std::min(other.across, other.down) <
               std::int64_t(std::max(other.across, other.down)) * std::min(across, down);
    }

    int tileWidth;
    std::int64_t tiles;
    int across;
    int down;
};

// Square tiles would cost a one-pixel-wide picture 128 times its pixels, so the shape follows the
// picture. The fewest tiles never take more than twice the pixels (or one tile); among the shapes
// within 1/16 of the fewest and within twice the pixels, the squarest is taken, so that an edit of
// a small region copies few pixels beside it. Large photos get 128 × 128. Tried once for each new
// picture; clones keep the shape.
TileShape Choose(int width, int height)
{
    const int widest = std::min(width, Slab);
    TileShape fewest(width, height, 1);
    for (int tileWidth = 2; tileWidth <= widest; ++tileWidth) {
        const TileShape shape(width, height, tileWidth);
        if (shape.tiles < fewest.tiles)
            fewest = shape;
    }
    const std::int64_t twice = 2 * std::int64_t(width) * height / Slab;
    const std::int64_t allowed = std::max(fewest.tiles, std::min(fewest.tiles + fewest.tiles / 16, twice));
    TileShape best = fewest;
    for (int tileWidth = 1; tileWidth <= widest; ++tileWidth) {
        const TileShape shape(width, height, tileWidth);
        if (shape.tiles <= allowed && shape.SquarerThan(best))
            best = shape;
    }
    return best;
}

std::uint64_t NextSerial()
{
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace

ImageState::ImageState(int width, int height, int tileWide, int tileHigh)
    : serial(NextSerial()), w(width), h(height), tileWidth(tileWide), tileHeight(tileHigh),
      columns(int(TilesFor(width, tileWide))), rows(int(TilesFor(height, tileHigh)))
{
}

int ImageState::TileWidthFor(int width, int height)
{
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) * 4 > PictureLimitBytes)
        return 0;
    const TileShape shape = Choose(width, height);
    return std::uint64_t(shape.tiles) * CTilePool::TileBytes <= TileLimitBytes ? shape.tileWidth : 0;
}

std::size_t ImageState::StorageBytes(int width, int height)
{
    const int tileWidth = TileWidthFor(width, height);
    if (tileWidth == 0)
        return 0;
    return std::size_t(TilesFor(width, tileWidth) * TilesFor(height, Slab / tileWidth)) * CTilePool::TileBytes;
}

std::unique_ptr<ImageState> ImageState::Allocate(int width, int height)
{
    // Refused before anything is taken from the pool.
    const int tileWidth = TileWidthFor(width, height);
    if (tileWidth == 0)
        return {};
    try {
        std::unique_ptr<ImageState> state(new ImageState(width, height, tileWidth, Slab / tileWidth));
        state->tiles.resize(std::size_t(state->columns) * state->rows);
        for (auto& t : state->tiles) {
            t = CTilePool::Shared().Acquire();
            if (!t)
                return {};
        }
        return state;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::unique_ptr<ImageState> ImageState::CreateFilled(int width, int height, QRgb color)
{
    auto state = Allocate(width, height);
    if (state) {
        for (auto& t : state->tiles)
            std::fill_n(t.get(), CTilePool::PixelsPerTile, color | 0xFF000000u);
    }
    return state;
}

std::unique_ptr<ImageState> ImageState::FromImage(const QImage& image)
{
    auto state = Allocate(image.width(), image.height());
    if (!state || !state->WriteRegion(image, QPoint(0, 0)))
        return {};
    return state;
}

std::unique_ptr<ImageState> ImageState::Clone() const
{
    try {
        std::unique_ptr<ImageState> copy(new ImageState(w, h, tileWidth, tileHeight));
        copy->tiles = tiles;
        copy->spilled = spilled;
        return copy;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

ImageState::TileRange ImageState::TilesMeeting(const QRect& area) const
{
    const QRect inside = area.intersected(rect());
    if (inside.isEmpty())
        return {0, -1, 0, -1};
    return {inside.left() / tileWidth, inside.right() / tileWidth, inside.top() / tileHeight,
            inside.bottom() / tileHeight};
}

QRect ImageState::TileRect(int column, int row) const
{
    return QRect(column * tileWidth, row * tileHeight, tileWidth, tileHeight).intersected(rect());
}

QImage ImageState::TileView(int column, int row) const
{
    const QRect r = TileRect(column, row);
    return QImage(reinterpret_cast<const uchar*>(TilePixels(column, row)), r.width(), r.height(), tileWidth * 4,
                  QImage::Format_RGB32);
}

QImage ImageState::ReadRegion(const QRect& region) const
{
    const QRect area = region.intersected(rect());
    if (area.isEmpty())
        return {};
    QImage out(area.size(), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    const TileRange range = TilesMeeting(area);
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            const QRect part = TileRect(column, row).intersected(area);
            const std::uint32_t* src = TilePixels(column, row);
            for (int y = part.top(); y <= part.bottom(); ++y) {
                std::memcpy(reinterpret_cast<std::uint32_t*>(out.scanLine(y - area.top())) +
                                (part.left() - area.left()),
                            src + InTile(column, row, QPoint(part.left(), y)), std::size_t(part.width()) * 4);
            }
        }
    }
    return out;
}

void ImageState::ReadRow(int y, std::uint32_t* out) const
{
    const int row = y / tileHeight;
    for (int column = 0; column < columns; ++column) {
        const int left = column * tileWidth;
        std::memcpy(out + left, TilePixels(column, row) + std::size_t(y - row * tileHeight) * tileWidth,
                    std::size_t(std::min(tileWidth, w - left)) * 4);
    }
}

std::uint32_t* ImageState::DetachTile(int column, int row, bool keepPixels)
{
    Changing(column, row);
    CTilePool::TilePtr& t = tile(column, row);
    if (t.use_count() == 1)
        return t.get();
    CTilePool::TilePtr fresh = CTilePool::Shared().Acquire();
    if (!fresh)
        return nullptr;
    if (keepPixels)
        std::memcpy(fresh.get(), t.get(), CTilePool::TileBytes);
    t = std::move(fresh);
    return t.get();
}

bool ImageState::WriteRegion(const QImage& image, QPoint topLeft)
{
    const QRect area = QRect(topLeft, image.size()).intersected(rect());
    if (area.isEmpty())
        return true;
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        return false;

    // Take every private tile first, so that running out of memory leaves this state untouched.
    struct Pending
    {
        int column, row;
        CTilePool::TilePtr replacement; // null: the tile is already private
    };
    std::vector<Pending> pending;
    try {
        const TileRange range = TilesMeeting(area);
        for (int row = range.firstRow; row <= range.lastRow; ++row) {
            for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
                Pending p{column, row, {}};
                if (tile(column, row).use_count() > 1) {
                    p.replacement = CTilePool::Shared().Acquire();
                    if (!p.replacement)
                        return false;
                    if (!area.contains(TileRect(column, row)))
                        std::memcpy(p.replacement.get(), TilePixels(column, row), CTilePool::TileBytes);
                }
                pending.push_back(std::move(p));
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }

    for (Pending& p : pending) {
        Changing(p.column, p.row);
        if (p.replacement)
            tile(p.column, p.row) = std::move(p.replacement);
        const QRect part = TileRect(p.column, p.row).intersected(area);
        std::uint32_t* dst = tile(p.column, p.row).get();
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const auto* src = reinterpret_cast<const std::uint32_t*>(rgb.constScanLine(y - topLeft.y())) +
                              (part.left() - topLeft.x());
            std::memcpy(dst + InTile(p.column, p.row, QPoint(part.left(), y)), src, std::size_t(part.width()) * 4);
        }
    }
    return true;
}

// Out of memory

const std::shared_ptr<CSpilledTile>& ImageState::SpilledAt(std::size_t index) const
{
    static const std::shared_ptr<CSpilledTile> none;
    return spilled.empty() ? none : spilled[index];
}

void ImageState::MoveOut(std::size_t index, std::shared_ptr<CSpilledTile> packed)
{
    if (spilled.empty())
        spilled.resize(tiles.size());
    spilled[index] = std::move(packed);
    tiles[index].reset();
}

bool ImageState::BringBack()
{
    std::atomic<bool> failed{false};
    // Tiles taken in runs, so each thread reads neighbouring records of the file.
    constexpr std::size_t Run = 16;
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t first = next.fetch_add(Run); first < tiles.size() && !failed; first = next.fetch_add(Run)) {
            for (std::size_t i = first; i < std::min(first + Run, tiles.size()) && !failed; ++i) {
                if (!tiles[i] && (spilled.empty() || !spilled[i] || !(tiles[i] = spilled[i]->Load(tileWidth))))
                    failed = true;
            }
        }
    };
    RunOnTwoThreads(std::size_t(std::count(tiles.begin(), tiles.end(), nullptr)) >= 2 * Run, work);
    return !failed;
}

void ImageState::Changing(int column, int row)
{
    if (spilled.empty())
        return;
    std::shared_ptr<CSpilledTile>& packed = spilled[std::size_t(row) * columns + column];
    if (packed) {
        // Changed in place, this copy must not be handed to the states still holding the old pixels.
        packed->Forget(tile(column, row).get());
        packed.reset();
    }
}
