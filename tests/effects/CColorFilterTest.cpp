#include "effects/CColorFilter.h"

#include "effects/ToneRules.h"

#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// A spread of colours: pure ones, greys, and random ones with a random fourth byte.
std::vector<std::uint32_t> SamplePixels()
{
    std::vector<std::uint32_t> pixels = RandomPixels(1000, 7);
    for (int v : {0, 1, 99, 100, 101, 149, 150, 199, 200, 254, 255}) {
        pixels.push_back(Pixel(v, v, v));
        pixels.push_back(Pixel(v, 0, 0));
        pixels.push_back(Pixel(0, v, 0));
        pixels.push_back(Pixel(0, 0, v));
    }
    return pixels;
}

std::vector<std::uint32_t> Apply(const CColorFilter& filter, const std::vector<std::uint32_t>& src)
{
    std::vector<std::uint32_t> dst(src.size());
    filter.Apply(src.data(), dst.data(), int(src.size()));
    return dst;
}

std::uint32_t Grayed(std::uint32_t p, int level)
{
    const int luma = ToneRules::Luma(int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF));
    return (p & 0xFF000000u) | std::uint32_t(ToneRules::ClampByte(luma + level)) * 0x010101u;
}

// The filter written out plainly, one pixel at a time.
std::uint32_t Reference(const CColorFilter& f, std::uint32_t p)
{
    const auto passes = [](const CColorFilter::Channel& c, int v) { return !c.on || (c.min <= v && v <= c.max); };
    if (passes(f.blue, int(p & 0xFF)) && passes(f.green, int(p >> 8 & 0xFF)) && passes(f.red, int(p >> 16 & 0xFF)))
        return p;
    if (f.grayMode)
        return Grayed(p, f.grayLevel);
    const std::uint32_t c = f.fillColor;
    return (p & 0xFF000000u) | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

CColorFilter RedFilter(int min, int max)
{
    CColorFilter filter;
    filter.red = {true, min, max};
    return filter;
}

} // namespace

TEST(ColorFilter, PassingEverythingChangesNothing)
{
    const std::vector<std::uint32_t> src = SamplePixels();
    CColorFilter none;
    EXPECT_FALSE(none.AnyChannelOn());
    none.grayLevel = 255;
    EXPECT_EQ(Apply(none, src), src) << "no channel switched on";
    EXPECT_EQ(Apply(RedFilter(0, 255), src), src);
    EXPECT_EQ(Apply(RedFilter(-50, 400), src), src);
}

TEST(ColorFilter, EmptyRangesPassNothing)
{
    const std::vector<std::uint32_t> src = SamplePixels();
    for (const CColorFilter& filter : {RedFilter(200, 100), RedFilter(256, 300), RedFilter(-10, -1)}) {
        const auto out = Apply(filter, src);
        for (std::size_t i = 0; i < src.size(); ++i)
            ASSERT_EQ(out[i], Grayed(src[i], 0)) << "min " << filter.red.min << " max " << filter.red.max;
    }
}

TEST(ColorFilter, BoundsAreInclusive)
{
    const std::vector<std::uint32_t> src = {Pixel(99, 0, 0), Pixel(100, 0, 0), Pixel(150, 0, 0), Pixel(200, 0, 0),
                                            Pixel(201, 0, 0)};
    CColorFilter filter = RedFilter(100, 200);
    filter.grayMode = false;
    filter.fillColor = 0x00FF0000; // blue
    const auto out = Apply(filter, src);
    EXPECT_EQ(out[0], Pixel(0, 0, 255));
    EXPECT_EQ(out[1], src[1]);
    EXPECT_EQ(out[2], src[2]);
    EXPECT_EQ(out[3], src[3]);
    EXPECT_EQ(out[4], Pixel(0, 0, 255));
}

TEST(ColorFilter, GrayModeGraysTheFailingPixels)
{
    const std::vector<std::uint32_t> src = {Pixel(200, 10, 10), Pixel(0, 0, 255), Pixel(0, 255, 0)};
    CColorFilter filter = RedFilter(150, 255);
    EXPECT_EQ(Apply(filter, src), (std::vector<std::uint32_t>{src[0], Pixel(28, 28, 28), Pixel(150, 150, 150)}));
    filter.grayLevel = 255;
    EXPECT_EQ(Apply(filter, src), (std::vector<std::uint32_t>{src[0], Pixel(255, 255, 255), Pixel(255, 255, 255)}));
    filter.grayLevel = -255;
    EXPECT_EQ(Apply(filter, src), (std::vector<std::uint32_t>{src[0], Pixel(0, 0, 0), Pixel(0, 0, 0)}));
}

TEST(ColorFilter, FillColourIsReadAsBlueGreenRed)
{
    const std::vector<std::uint32_t> src = {Pixel(10, 20, 30, 0x7F), Pixel(200, 20, 30)};
    CColorFilter filter = RedFilter(150, 255);
    filter.grayMode = false;
    filter.fillColor = 0x000000FF; // pure red
    EXPECT_EQ(Apply(filter, src), (std::vector<std::uint32_t>{Pixel(255, 0, 0, 0x7F), src[1]}));
}

TEST(ColorFilter, AllChannelsOnKeepOnlyPixelsWithinEveryRange)
{
    const std::vector<std::uint32_t> src = SamplePixels();
    CColorFilter filter;
    filter.red = filter.green = filter.blue = {true, 0, 100};
    const auto out = Apply(filter, src);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const std::uint32_t p = src[i];
        const bool low = (p & 0xFF) <= 100 && (p >> 8 & 0xFF) <= 100 && (p >> 16 & 0xFF) <= 100;
        ASSERT_EQ(out[i], low ? p : Grayed(p, 0)) << std::hex << p;
    }
}

// Random settings against the plain rule, over spans of every length from every start and in place.
TEST(ColorFilter, RandomSettingsAgreeWithThePlainRule)
{
    const std::vector<std::uint32_t> pixels = SamplePixels();
    std::mt19937 random(8);
    std::uniform_int_distribution<int> bound(-20, 275), level(-300, 300), coin(0, 1);
    const auto channel = [&] { return CColorFilter::Channel{coin(random) == 1, bound(random), bound(random)}; };
    for (int round = 0; round < 200; ++round) {
        CColorFilter filter;
        filter.red = channel();
        filter.green = channel();
        filter.blue = channel();
        filter.grayMode = coin(random) == 1;
        filter.grayLevel = level(random);
        filter.fillColor = std::uint32_t(random()) & 0x00FFFFFFu;
        const int start = round % 8, count = 1 + round * 7 % 300;
        std::vector<std::uint32_t> span(pixels.begin() + start, pixels.begin() + start + count);
        filter.Apply(span.data(), span.data(), count);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(span[i], Reference(filter, pixels[start + i])) << "round " << round << " pixel " << i;
        const auto whole = Apply(filter, pixels);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(whole[i], Reference(filter, pixels[i])) << "round " << round << " pixel " << i;
    }
}
