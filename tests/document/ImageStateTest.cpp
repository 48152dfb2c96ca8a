#include "document/ImageState.h"

#include "support/TestImages.h"

#include <gtest/gtest.h>

namespace {

// Sizes that are not multiples of the tile size, so partial edge tiles are exercised.
const QSize OddSize(2 * 128 + 37, 128 + 5);

QImage Solid(QSize size, QRgb color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

struct PoolLimit
{
    explicit PoolLimit(std::size_t extraTiles)
    {
        CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes() + extraTiles * CTilePool::TileBytes);
    }
    ~PoolLimit() { CTilePool::Shared().SetLiveLimit(0); }
};

} // namespace

TEST(ImageState, HoldsTheImageItWasMadeFrom)
{
    const QImage photo = MakePhotoLike(OddSize.width(), OddSize.height());
    auto state = ImageState::FromImage(photo);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->size(), OddSize);
    EXPECT_EQ(state->ReadAll(), photo);
    EXPECT_EQ(state->ReadRegion(QRect(250, 100, 100, 100)), photo.copy(QRect(250, 100, 43, 33)))
        << "a region reaching past the image is clipped";
    EXPECT_TRUE(state->ReadRegion(QRect(-20, -20, 10, 10)).isNull());
    const QImage view = state->TileView(2, 1);
    EXPECT_EQ(view.size(), QSize(37, 5));
    EXPECT_EQ(view, photo.copy(state->TileRect(2, 1)));
}

TEST(ImageState, CloneSharesUntilWrittenAndWritesStayPrivate)
{
    const QImage photo = MakePhotoLike(OddSize.width(), OddSize.height());
    auto original = ImageState::FromImage(photo);
    auto copy = original->Clone();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->TileId(1, 0), original->TileId(1, 0));

    const QRect patch(120, 60, 20, 100); // meets tiles (0,0), (1,0), (0,1), (1,1)
    ASSERT_TRUE(copy->WriteRegion(Solid(patch.size(), qRgb(1, 2, 3)), patch.topLeft()));

    EXPECT_EQ(original->ReadAll(), photo) << "the state shared with must not change";
    QImage expected = photo;
    for (int y = patch.top(); y <= patch.bottom(); ++y)
        for (int x = patch.left(); x <= patch.right(); ++x)
            expected.setPixel(x, y, qRgb(1, 2, 3));
    EXPECT_EQ(copy->ReadAll(), expected);
    EXPECT_NE(copy->TileId(1, 1), original->TileId(1, 1));
    EXPECT_EQ(copy->TileId(2, 0), original->TileId(2, 0)) << "untouched tiles stay shared";
}

TEST(ImageState, DetachKeepsOrDiscardsPixelsAsAsked)
{
    auto original = ImageState::CreateFilled(OddSize.width(), OddSize.height(), qRgb(9, 9, 9));
    auto copy = original->Clone();
    std::uint32_t* kept = copy->DetachTile(0, 0, true);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept[copy->TileWidth() * 3 + 4], qRgb(9, 9, 9));
    EXPECT_NE(static_cast<const void*>(kept), original->TileId(0, 0));
    EXPECT_EQ(copy->DetachTile(0, 0, false), kept) << "a private tile is written in place";
}

TEST(ImageState, ExhaustedMemoryFailsCleanly)
{
    auto original = ImageState::FromImage(MakePhotoLike(OddSize.width(), OddSize.height()));
    const QImage before = original->ReadAll();
    {
        PoolLimit limit(1);
        EXPECT_FALSE(ImageState::CreateFilled(OddSize.width(), OddSize.height(), 0));
        auto copy = original->Clone();
        ASSERT_TRUE(copy) << "a clone needs no pixel storage";
        EXPECT_FALSE(copy->WriteRegion(Solid(OddSize, qRgb(0, 0, 0)), QPoint(0, 0)));
        EXPECT_EQ(copy->ReadAll(), before) << "a failed write leaves the state as it was";
        EXPECT_EQ(copy->DetachTile(0, 0, true) != nullptr, true) << "one tile is still within the limit";
        EXPECT_EQ(copy->DetachTile(1, 0, true), nullptr);
    }
    EXPECT_EQ(original->ReadAll(), before);
}

TEST(TilePool, ReleasedTilesAreReused)
{
    CTilePool& pool = CTilePool::Shared();
    const void* first = nullptr;
    {
        auto tile = pool.Acquire();
        first = tile.get();
    }
    auto again = pool.Acquire();
    EXPECT_EQ(again.get(), first);
}
