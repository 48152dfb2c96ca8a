#include "tiles/ImageState.h"

#include "support/QtPrinters.h"
#include "support/TestImages.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A size whose tiles lie in several rows and columns and end in partial tiles on the right and at
// the bottom (HoldsTheImageItWasMadeFrom checks that it does).
const QSize OddSize(600, 400);

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

// What a picture's tiles may take: twice its pixels, or one tile for a picture smaller than one.
std::size_t StorageAllowance(QSize size)
{
    return std::max(std::size_t(size.width()) * std::size_t(size.height()) * 8, CTilePool::TileBytes);
}

} // namespace

TEST(ImageState, HoldsTheImageItWasMadeFrom)
{
    const QImage photo = MakePhotoLike(OddSize.width(), OddSize.height());
    auto state = ImageState::FromImage(photo);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->size(), OddSize);
    EXPECT_EQ(state->ReadAll(), photo);
    const QPoint nearCorner(OddSize.width() - 43, OddSize.height() - 33);
    EXPECT_EQ(state->ReadRegion(QRect(nearCorner, QSize(100, 100))), photo.copy(QRect(nearCorner, QSize(43, 33))))
        << "a region reaching past the image is clipped";
    EXPECT_TRUE(state->ReadRegion(QRect(-20, -20, 10, 10)).isNull());

    ASSERT_GE(state->TileColumns(), 3);
    ASSERT_GE(state->TileRows(), 2);
    const QSize edge(OddSize.width() % state->TileWidth(), OddSize.height() % state->TileHeight());
    ASSERT_FALSE(edge.isEmpty()) << "the last column and row are partial tiles";
    const int lastColumn = state->TileColumns() - 1;
    const int lastRow = state->TileRows() - 1;
    const QImage view = state->TileView(lastColumn, lastRow);
    EXPECT_EQ(view.size(), edge);
    EXPECT_EQ(view, photo.copy(state->TileRect(lastColumn, lastRow)));
}

TEST(ImageState, CloneSharesUntilWrittenAndWritesStayPrivate)
{
    const QImage photo = MakePhotoLike(OddSize.width(), OddSize.height());
    auto original = ImageState::FromImage(photo);
    auto copy = original->Clone();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->TileId(1, 0), original->TileId(1, 0));

    // Across the corner where tiles (0,0), (1,0), (0,1) and (1,1) meet.
    const QPoint corner(copy->TileWidth(), copy->TileHeight());
    const QRect patch(corner - QPoint(8, 40), QSize(20, 100));
    ASSERT_TRUE(copy->WriteRegion(Solid(patch.size(), qRgb(1, 2, 3)), patch.topLeft()));

    EXPECT_EQ(original->ReadAll(), photo) << "the state shared with must not change";
    QImage expected = photo;
    for (int y = patch.top(); y <= patch.bottom(); ++y)
        for (int x = patch.left(); x <= patch.right(); ++x)
            expected.setPixel(x, y, qRgb(1, 2, 3));
    EXPECT_EQ(copy->ReadAll(), expected);
    for (int row = 0; row < copy->TileRows(); ++row) {
        for (int column = 0; column < copy->TileColumns(); ++column) {
            const bool written = copy->TileRect(column, row).intersects(patch);
            EXPECT_EQ(copy->TileId(column, row) != original->TileId(column, row), written)
                << "tile " << column << ", " << row << ": written tiles are private, the others stay shared";
        }
    }
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

// Pictures far from square, for which square tiles would cost many times their pixels, and
// ordinary ones just past a square tile's side.
class ImageStateShapes : public ::testing::TestWithParam<QSize>
{
};

TEST_P(ImageStateShapes, HoldsItsPixelsInAtMostTwiceTheirBytes)
{
    const QSize size = GetParam();
    const QImage photo = MakePhotoLike(size.width(), size.height());
    const std::size_t live = CTilePool::Shared().LiveBytes();
    auto original = ImageState::FromImage(photo);
    ASSERT_TRUE(original);
    const std::size_t held = CTilePool::Shared().LiveBytes() - live;
    EXPECT_LE(held, StorageAllowance(size));
    EXPECT_EQ(ImageState::StorageBytes(size.width(), size.height()), held);
    EXPECT_EQ(original->ReadAll(), photo);

    // From a third of the way in across half the picture: across tile edges both ways.
    const QRect patch(size.width() / 3, size.height() / 3, std::max(1, size.width() / 2),
                      std::max(1, size.height() / 2));
    const QImage paint = MakePhotoLike(patch.width(), patch.height(), 7);
    auto copy = original->Clone();
    ASSERT_TRUE(copy->WriteRegion(paint, patch.topLeft()));
    QImage expected = photo.copy();
    QPainter(&expected).drawImage(patch.topLeft(), paint);
    EXPECT_EQ(copy->ReadAll(), expected);
    EXPECT_EQ(original->ReadAll(), photo) << "the state shared with must not change";
}

INSTANTIATE_TEST_SUITE_P(Shapes, ImageStateShapes,
                         ::testing::Values(QSize(1, 200000), QSize(200000, 1), QSize(3, 70000), QSize(70000, 3),
                                           QSize(129, 1000), QSize(1000, 129), QSize(129, 129), QSize(9000, 130),
                                           QSize(300, 200), QSize(1, 1)),
                         [](const ::testing::TestParamInfo<QSize>& info) {
                             return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
                         });

TEST(ImageStateStorage, EverySizeTakesAtMostTwiceItsPixels)
{
    std::vector<QSize> sizes;
    for (int width = 1; width <= 200; ++width)
        for (int height = 1; height <= 200; ++height)
            sizes.push_back(QSize(width, height));
    for (int thin = 1; thin <= 6; ++thin)
        for (int length = 201; length <= 300000; length += 4999)
            sizes.insert(sizes.end(), {QSize(thin, length), QSize(length, thin)});
    int bad = 0;
    for (const QSize& size : sizes) {
        const std::size_t bytes = ImageState::StorageBytes(size.width(), size.height());
        if ((bytes == 0 || bytes > StorageAllowance(size)) && ++bad <= 5)
            ADD_FAILURE() << ::testing::PrintToString(size) << " takes " << bytes << " bytes";
    }
    EXPECT_EQ(bad, 0);
}

TEST(ImageStateStorage, PicturesWithinTheLimitFitAndLargerOnesAreRefusedBeforeAnyTile)
{
    constexpr int most = int((std::size_t(ImageState::PictureLimitMiB) << 20) / 4); // pixels
    const std::vector<QSize> fitting = {{16384, 16384}, {12247, 8165}, {1, most}, {most, 1}};
    const std::vector<QSize> refused = {{16384, 16385}, {1, most + 1}, {most + 1, 1},
                                        {65536, 65536}, {0, 10},       {10, -1}};
    for (const QSize& size : fitting) {
        const std::size_t bytes = ImageState::StorageBytes(size.width(), size.height());
        EXPECT_TRUE(bytes > 0 && bytes <= StorageAllowance(size)) << ::testing::PrintToString(size);
    }
    CTilePool& pool = CTilePool::Shared();
    pool.Trim(); // a tile taken and given back would be left here
    const std::size_t live = pool.LiveBytes();
    {
        PoolLimit limit(64); // were a size let through, the pool would stop it after 64 tiles
        for (const QSize& size : refused) {
            EXPECT_EQ(ImageState::StorageBytes(size.width(), size.height()), 0u) << ::testing::PrintToString(size);
            EXPECT_FALSE(ImageState::CreateFilled(size.width(), size.height(), 0)) << ::testing::PrintToString(size);
        }
    }
    EXPECT_EQ(pool.LiveBytes(), live);
    EXPECT_EQ(pool.FreeBytes(), 0u);
}
