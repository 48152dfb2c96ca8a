#include "tiles/CReducedCopies.h"

#include "support/Pixels.h"
#include "support/QtPrinters.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int Side = CReducedCopies::BlockSide;

// The picture halved as a whole, pixel by pixel: the last column or row of an odd side counts twice.
QImage Halved(const QImage& in)
{
    QImage out((in.width() + 1) / 2, (in.height() + 1) / 2, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const int xs[] = {2 * x, std::min(2 * x + 1, in.width() - 1)};
            const int ys[] = {2 * y, std::min(2 * y + 1, in.height() - 1)};
            int r = 2, g = 2, b = 2;
            for (int sy : ys) {
                for (int sx : xs) {
                    const QRgb p = in.pixel(sx, sy);
                    r += qRed(p), g += qGreen(p), b += qBlue(p);
                }
            }
            out.setPixel(x, y, qRgb(r >> 2, g >> 2, b >> 2));
        }
    }
    return out;
}

// Every block of `level` put together; pixels no block covers stay 0, never a value of qRgb.
QImage Assembled(CReducedCopies& copies, const ImageState& state, int level, QSize size)
{
    QImage all(size, QImage::Format_RGB32);
    all.fill(0u);
    for (int row = 0; row * Side < state.height(); ++row) {
        for (int column = 0; column * Side < state.width(); ++column) {
            const QImage block = copies.Block(state, level, column, row);
            const QRect into(QPoint(column * Side >> level, row * Side >> level), block.size());
            if (block.isNull() || !all.rect().contains(into)) {
                ADD_FAILURE() << "block " << column << ", " << row << " is null or too large";
                continue;
            }
            for (int y = 0; y < block.height(); ++y)
                std::memcpy(all.scanLine(into.y() + y) + into.x() * 4, block.constScanLine(y), block.width() * 4);
        }
    }
    return all;
}

QImage Solid(QSize size, QRgb color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

struct PictureCase
{
    QSize size;
    int tileWidth; // the shape ImageState gives it, which the case was chosen for
};

void PrintTo(const PictureCase& picture, std::ostream* os)
{
    PrintTo(picture.size, os);
}

class ReducedCopiesOfPicture : public testing::TestWithParam<PictureCase>
{
};

std::string CaseName(const testing::TestParamInfo<PictureCase>& info)
{
    return std::to_string(info.param.size.width()) + "x" + std::to_string(info.param.size.height());
}

} // namespace

// Blocks halved one by one equal the whole picture halved, whatever tiles hold the picture: tiles
// narrower, wider or taller than a block, several per block, and edges of odd length.
TEST_P(ReducedCopiesOfPicture, AssembleIntoTheWholePictureHalved)
{
    const QSize size = GetParam().size;
    const std::vector<std::uint32_t> noise = RandomPixels(std::size_t(size.width()) * size.height(), 7);
    // The fourth byte is random too: it must not leak into the channels.
    const QImage picture(reinterpret_cast<const uchar*>(noise.data()), size.width(), size.height(),
                         QImage::Format_RGB32);
    auto state = ImageState::FromImage(picture);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->TileWidth(), GetParam().tileWidth);

    std::vector<QImage> expected{picture};
    for (int level = 1; level <= CReducedCopies::MaxLevel; ++level)
        expected.push_back(Halved(expected.back()));

    CReducedCopies prepared; // each level prepared from the one below, on two threads for many blocks
    CReducedCopies lazy;     // the deepest level first, straight from the picture
    EXPECT_EQ(Assembled(lazy, *state, CReducedCopies::MaxLevel, expected.back().size()), expected.back());
    for (int level = 1; level <= CReducedCopies::MaxLevel; ++level) {
        ASSERT_TRUE(prepared.Prepare(*state, level, state->rect()));
        const std::size_t computed = prepared.Computed();
        EXPECT_EQ(Assembled(prepared, *state, level, expected[level].size()), expected[level]) << "level " << level;
        EXPECT_EQ(prepared.Computed(), computed) << "prepared blocks are looked up, not computed again";
        EXPECT_EQ(Assembled(lazy, *state, level, expected[level].size()), expected[level]) << "level " << level;
    }
    const int columns = (size.width() + Side - 1) / Side;
    EXPECT_TRUE(prepared.Block(*state, CReducedCopies::MaxLevel + 1, 0, 0).isNull());
    EXPECT_TRUE(prepared.Block(*state, 1, columns, 0).isNull());
}

INSTANTIATE_TEST_SUITE_P(Shapes, ReducedCopiesOfPicture,
                         testing::Values(PictureCase{{1000, 1000}, 128}, PictureCase{{300, 70}, 150},
                                         PictureCase{{1, 3000}, 1}, PictureCase{{3000, 1}, 3000},
                                         PictureCase{{129, 257}, 129}, PictureCase{{6000, 130}, 126}),
                         CaseName);

TEST(ReducedCopies, StatesSharingTilesShareReductions)
{
    auto first = ImageState::FromImage(MakePhotoLike(4 * Side, 4 * Side));
    ASSERT_LT(first->TileWidth(), Side) << "several tiles per block";
    const std::size_t blocks = 4 * 4;
    CReducedCopies copies;
    ASSERT_TRUE(copies.Prepare(*first, 2, first->rect()));
    EXPECT_EQ(copies.Computed(), blocks) << "the level between is not kept";
    auto clone = first->Clone();
    ASSERT_TRUE(copies.Prepare(*clone, 2, clone->rect()));
    EXPECT_EQ(copies.Computed(), blocks) << "a clone reuses every block";

    // An edit inside one tile computes its block again; both versions stay for undo and redo.
    auto edited = first->Clone();
    ASSERT_TRUE(edited->WriteRegion(Solid(QSize(20, 20), qRgb(255, 0, 0)), QPoint(10, 10)));
    ASSERT_TRUE(copies.Prepare(*edited, 2, edited->rect()));
    EXPECT_EQ(copies.Computed(), blocks + 1);
    EXPECT_EQ(copies.Block(*edited, 2, 0, 0).pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_NE(copies.Block(*first, 2, 0, 0).pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(copies.Computed(), blocks + 1);

    // The pool hands the released tile out again at the same address: not the same tile.
    const void* released = edited->TileId(0, 0);
    edited.reset();
    auto other = first->Clone();
    ASSERT_TRUE(other->WriteRegion(Solid(QSize(20, 20), qRgb(0, 0, 255)), QPoint(10, 10)));
    ASSERT_EQ(other->TileId(0, 0), released);
    EXPECT_EQ(copies.Block(*other, 2, 0, 0).pixel(5, 5), qRgb(0, 0, 255));
}

TEST(ReducedCopies, KeepsWithinTheBudgetDroppingTheLeastRecentlyUsed)
{
    auto state = ImageState::FromImage(MakePhotoLike(4 * Side, 2 * Side));
    const std::size_t block = (Side / 2) * (Side / 2) * 4; // one block at level 1
    CReducedCopies copies(3 * block);
    for (int column : {0, 1, 2, 0, 3}) // 1 is the least recently used when 3 comes
        copies.Block(*state, 1, column, 0);
    EXPECT_EQ(copies.Bytes(), 3 * block);
    EXPECT_EQ(copies.Computed(), 4u);
    for (int column : {0, 2, 3, 1})
        copies.Block(*state, 1, column, 0);
    EXPECT_EQ(copies.Computed(), 5u) << "only the dropped block is computed again";

    EXPECT_TRUE(copies.Prepare(*state, 1, QRect(0, Side, 3 * Side, Side)));
    EXPECT_FALSE(copies.Prepare(*state, 1, QRect(0, Side, 4 * Side, Side))) << "four blocks do not fit";
    EXPECT_LE(copies.Bytes(), 3 * block);

    // Nothing fits: every answer is computed and none kept.
    CReducedCopies none(0);
    EXPECT_FALSE(none.Prepare(*state, 2, state->rect()));
    const QImage answer = none.Block(*state, 2, 3, 1);
    EXPECT_FALSE(answer.isNull());
    EXPECT_EQ(answer, copies.Block(*state, 2, 3, 1));
    EXPECT_EQ(none.Bytes(), 0u);
}
