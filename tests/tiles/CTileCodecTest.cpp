#include "tiles/CTileCodec.h"

#include "support/Pixels.h"
#include "support/TestImages.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace {

constexpr int Side = 128;
constexpr int Count = Side * Side;

std::vector<std::uint32_t> PhotoTile(unsigned seed)
{
    const QImage photo = MakePhotoLike(Side, Side, seed).convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint32_t> pixels(Count);
    std::memcpy(pixels.data(), photo.constBits(), pixels.size() * 4);
    return pixels;
}

std::vector<std::uint32_t> Inverted(std::vector<std::uint32_t> pixels)
{
    for (auto& p : pixels)
        p ^= 0x00FFFFFFu;
    return pixels;
}

struct Packed
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> back;
};

Packed RoundTrip(const std::vector<std::uint32_t>& pixels, const std::uint32_t* base, int count, int width)
{
    Packed packed;
    EXPECT_TRUE(CTileCodec::Pack(pixels.data(), base, count, width, packed.bytes));
    packed.back.assign(std::size_t(count), 0);
    EXPECT_TRUE(CTileCodec::Unpack(packed.bytes.data(), packed.bytes.size(), base, count, width, packed.back.data()));
    return packed;
}

} // namespace

// Every byte comes back, the fourth too, with and without a base, in tiles of every shape a state
// gives (rows of 1 to 16384 pixels).
TEST(TileCodec, GivesBackEveryByte)
{
    const std::vector<std::uint32_t> noise = RandomPixels(Count, 3), other = RandomPixels(Count, 4);
    for (const int width : {1, 3, 128, 129, 16384}) {
        EXPECT_EQ(RoundTrip(noise, nullptr, Count, width).back, noise) << "width " << width;
        EXPECT_EQ(RoundTrip(noise, other.data(), Count, width).back, noise) << "width " << width;
    }
    const std::vector<std::uint32_t> photo = PhotoTile(1);
    EXPECT_EQ(RoundTrip(photo, nullptr, 100, 10).back, std::vector<std::uint32_t>(photo.begin(), photo.begin() + 100));
}

// The sizes the scratch file is planned on: a photo in a quarter of its bytes, the step after an
// invert or an unchanged tile in next to nothing.
TEST(TileCodec, PacksPhotosAndSmallChangesSmall)
{
    const std::vector<std::uint32_t> photo = PhotoTile(2);
    const std::size_t raw = std::size_t(Count) * 4;
    EXPECT_LT(RoundTrip(photo, nullptr, Count, Side).bytes.size(), raw / 2);
    EXPECT_LT(RoundTrip(Inverted(photo), photo.data(), Count, Side).bytes.size(), raw / 100);
    EXPECT_LT(RoundTrip(photo, photo.data(), Count, Side).bytes.size(), raw / 100);
}

TEST(TileCodec, RefusesWhatItDidNotPack)
{
    const std::vector<std::uint32_t> photo = PhotoTile(3);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(CTileCodec::Pack(photo.data(), nullptr, Count, Side, bytes));
    std::vector<std::uint32_t> back(Count);
    EXPECT_FALSE(CTileCodec::Unpack(bytes.data(), bytes.size(), nullptr, Count / 2, Side, back.data()))
        << "another size";
    EXPECT_FALSE(CTileCodec::Unpack(bytes.data(), bytes.size() / 2, nullptr, Count, Side, back.data())) << "cut short";
    std::vector<std::uint8_t> junk(100, 0x5A);
    EXPECT_FALSE(CTileCodec::Unpack(junk.data(), junk.size(), nullptr, Count, Side, back.data()));
}
