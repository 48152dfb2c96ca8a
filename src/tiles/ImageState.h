#pragma once

#include "tiles/CTilePool.h"

class CSpilledTile;

#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

// One snapshot of the whole image in the history: width × height pixels of 32 bits, byte 0 blue,
// byte 1 green, byte 2 red, byte 3 always 0xFF (QImage::Format_RGB32).
//
// The pixels are kept in tiles that states share copy-on-write, so a state derived from
// another by changing a small region holds only the tiles of that region; Clone() and the history's
// moves copy no pixels. A tile is written only while no other state shares it.
class ImageState
{
public:
    // The largest picture a state holds, in MiB of its own pixels (4 bytes each): 16384 × 16384
    // and a 100-megapixel photo fit.
    static constexpr int PictureLimitMiB = 1024;

    // A span of tiles: columns firstColumn..lastColumn, rows firstRow..lastRow; empty when a last
    // is below its first.
    struct TileRange
    {
        int firstColumn, lastColumn, firstRow, lastRow;
    };

    // The bytes of tile storage a state of this size takes: at most twice its pixels' bytes, or one
    // tile. 0 for a size no state is made for: empty, or beyond PictureLimitMiB.
    static std::size_t StorageBytes(int width, int height);

    // A state of the given size with every pixel set to `color`; null when memory is exhausted or
    // StorageBytes refuses the size (then nothing is allocated).
    static std::unique_ptr<ImageState> CreateFilled(int width, int height, QRgb color);
    // A state holding a copy of `image` (any format, converted as QImage converts to RGB32); null
    // as CreateFilled.
    static std::unique_ptr<ImageState> FromImage(const QImage& image);

    // A new state sharing every tile with this one; null when memory is exhausted.
    std::unique_ptr<ImageState> Clone() const;

    // Unique to this state among all made in the process: a cache of what a state shows can tell
    // a later state from it even at the same address.
    std::uint64_t Serial() const { return serial; }

    int width() const { return w; }
    int height() const { return h; }
    QSize size() const { return {w, h}; }
    QRect rect() const { return {0, 0, w, h}; }

    // Copies `region` (clipped to the image) into a new RGB32 image of the clipped size; a null
    // image when memory is exhausted or nothing of the region lies inside.
    QImage ReadRegion(const QRect& region) const;
    QImage ReadAll() const { return ReadRegion(rect()); }
    // Copies image row `y` (0 <= y < height()) into `out`, width() pixels.
    void ReadRow(int y, std::uint32_t* out) const;

    // Copies `image` into this state with its top-left pixel at `topLeft`, clipped to the state.
    // Tiles shared with other states are replaced by private copies first, so no other state
    // changes. False, with this state unchanged, when memory is exhausted.
    bool WriteRegion(const QImage& image, QPoint topLeft);

    // Tile access for code that processes pixels in place. Every tile of a state is TileWidth() ×
    // TileHeight() pixels, rows of TileWidth() pixels one after the other; pixels right of or below
    // the image are padding. The shape is chosen for the picture's size (a one-pixel-wide picture
    // gets tiles one pixel wide) and clones keep it.
    int TileWidth() const { return tileWidth; }
    int TileHeight() const { return tileHeight; }
    int TileColumns() const { return columns; }
    int TileRows() const { return rows; }
    // The tiles that `area` meets inside the image.
    TileRange TilesMeeting(const QRect& area) const;
    QRect TileRect(int column, int row) const;
    const std::uint32_t* TilePixels(int column, int row) const { return tile(column, row).get(); }
    // A read-only view of one tile (no copy), clipped to the image; valid while the tile is unchanged.
    QImage TileView(int column, int row) const;
    // Makes the tile private to this state and returns it for writing. With `keepPixels` false the
    // caller promises to overwrite every pixel of the tile's image part. Null when memory is exhausted.
    std::uint32_t* DetachTile(int column, int row, bool keepPixels);

    // Identity of a tile's storage, for counting the bytes a set of states shares.
    const void* TileId(int column, int row) const { return tile(column, row).get(); }
    // The tile's storage itself, for caches that must tell it from a later tile at the same address
    // (a std::weak_ptr to it does).
    const CTilePool::TilePtr& TileHandle(int column, int row) const { return tile(column, row); }

    // Tiles out of memory. A tile may live in the scratch file (see CSpilledTile) instead of, or
    // besides, memory; everything above reads and writes only states whose tiles are all in memory,
    // which the history keeps so for the states it shows and changes.
    std::size_t TileCount() const { return tiles.size(); }
    // The tile at row-major `index`: in memory (null when not) and in the scratch file (null when not).
    const CTilePool::TilePtr& TileAt(std::size_t index) const { return tiles[index]; }
    const std::shared_ptr<CSpilledTile>& SpilledAt(std::size_t index) const;
    // Lets go of the tile's memory; `packed` holds its pixels.
    void MoveOut(std::size_t index, std::shared_ptr<CSpilledTile> packed);
    // Brings every tile back into memory; false when memory is exhausted or the file cannot be read
    // (the tiles brought back stay).
    bool BringBack();

private:
    ImageState(int width, int height, int tileWidth, int tileHeight);
    // The tile's pixels are about to change: the scratch file no longer holds them.
    void Changing(int column, int row);
    // The tile width for a picture of this size, or 0 when StorageBytes refuses the size.
    static int TileWidthFor(int width, int height);
    // A state whose tiles are private and uninitialised; null when memory is exhausted.
    static std::unique_ptr<ImageState> Allocate(int width, int height);
    const CTilePool::TilePtr& tile(int column, int row) const { return tiles[std::size_t(row) * columns + column]; }
    CTilePool::TilePtr& tile(int column, int row) { return tiles[std::size_t(row) * columns + column]; }

    // The offset of image pixel `p` inside the tile that holds it.
    std::size_t InTile(int column, int row, QPoint p) const
    {
        return std::size_t(p.y() - row * tileHeight) * tileWidth + (p.x() - column * tileWidth);
    }

    std::uint64_t serial;
    int w = 0;
    int h = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int columns = 0;
    int rows = 0;
    std::vector<CTilePool::TilePtr> tiles;              // row-major
    std::vector<std::shared_ptr<CSpilledTile>> spilled; // row-major; empty until a tile moves out
};
