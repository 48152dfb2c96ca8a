#include "effects/ToneRules.h"

#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace {

// The gray value with every product and sum forced through memory, so no step can be fused.
int ReferenceLuma(int blue, int green, int red)
{
    volatile double b = 0.11 * blue;
    volatile double g = 0.59 * green;
    volatile double r = 0.30 * red;
    volatile double sum = b + g;
    volatile double total = sum + r;
    return int(total);
}

int PixelLuma(std::uint32_t p)
{
    return ToneRules::Luma(int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF));
}

using Span = std::function<void(const std::uint32_t*, std::uint32_t*, int)>;

std::vector<std::uint32_t> ApplyRule(const Span& rule, const std::vector<std::uint32_t>& src)
{
    std::vector<std::uint32_t> dst(src.size());
    rule(src.data(), dst.data(), int(src.size()));
    return dst;
}

struct NamedRule
{
    const char* name;
    Span rule;
};

std::vector<NamedRule> AllRules()
{
    using R = ToneRules;
    return {
        {"Gray 0", [](auto s, auto d, int n) { R::Gray(s, d, n, 0); }},
        {"Gray 40", [](auto s, auto d, int n) { R::Gray(s, d, n, 40); }},
        {"Gray -40", [](auto s, auto d, int n) { R::Gray(s, d, n, -40); }},
        {"Invert", [](auto s, auto d, int n) { R::Invert(s, d, n); }},
        {"Rgb 100,-50,7", [](auto s, auto d, int n) { R::AddRgb(s, d, n, 100, -50, 7); }},
        {"Rgb -200,0,255", [](auto s, auto d, int n) { R::AddRgb(s, d, n, -200, 0, 255); }},
        {"Threshold 100", [](auto s, auto d, int n) { R::Threshold(s, d, n, 100, false); }},
        {"Threshold 100 reversed", [](auto s, auto d, int n) { R::Threshold(s, d, n, 100, true); }},
    };
}

} // namespace

TEST(Luma, MatchesTheDoublePrecisionFormulaForEveryColour)
{
    int wrong = 0;
    for (int b = 0; b < 256; ++b)
        for (int g = 0; g < 256; ++g)
            for (int r = 0; r < 256; ++r)
                wrong += ToneRules::Luma(b, g, r) != ReferenceLuma(b, g, r);
    EXPECT_EQ(wrong, 0);
}

// The span rules may run a vector kernel chosen at run time; this checks the one this processor runs.
TEST(Luma, GraySpansMatchTheFormulaForEveryColour)
{
    constexpr int Span = 4096;
    std::vector<std::uint32_t> src(Span), dst(Span);
    int wrong = 0;
    for (std::uint32_t first = 0; first < (1u << 24); first += Span) {
        for (int i = 0; i < Span; ++i)
            src[i] = 0xFF000000u | (first + std::uint32_t(i));
        ToneRules::Gray(src.data(), dst.data(), Span, 0);
        for (int i = 0; i < Span; ++i) {
            const std::uint32_t p = src[i];
            const auto v = std::uint32_t(ReferenceLuma(int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF)));
            wrong += dst[i] != (0xFF000000u | v * 0x010101u);
        }
    }
    EXPECT_EQ(wrong, 0);
}

// Neutral grays and other colours whose weighted sum is a multiple of 100 side by side, and filling
// whole spans: the cases where the fast decision cannot be used.
TEST(Luma, GraySpansOfWholeMultiplesMatchTheFormula)
{
    std::vector<std::uint32_t> grays, mixed, solid;
    for (int v = 0; v < 256; ++v) {
        grays.push_back(Pixel(v, v, v));
        mixed.push_back(Pixel(v, v, v));
        mixed.push_back(Pixel(10, 0, 0)); // 30 R = 300
    }
    for (int b = 0; b < 256; b += 5) // a sample of colours with 11 B + 59 G + 30 R a multiple of 100
        for (int g = b % 10; g < 256; g += 30)
            for (int r = 0; r < 256; ++r)
                if ((11 * b + 59 * g + 30 * r) % 100 == 0)
                    solid.insert(solid.end(), 8, Pixel(r, g, b));
    ASSERT_GT(solid.size(), 1000u);
    for (const auto* pixels : {&grays, &mixed, &solid}) {
        const auto out = ApplyRule([](auto s, auto d, int n) { ToneRules::Gray(s, d, n, 0); }, *pixels);
        for (std::size_t i = 0; i < pixels->size(); ++i) {
            const std::uint32_t p = (*pixels)[i];
            const auto v = std::uint32_t(ReferenceLuma(int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF)));
            ASSERT_EQ(out[i], 0xFF000000u | v * 0x010101u) << std::hex << p;
        }
    }
}

TEST(Luma, WorkedValues)
{
    EXPECT_EQ(ToneRules::Luma(0, 0, 255), 76);
    EXPECT_EQ(ToneRules::Luma(0, 255, 0), 150);
    EXPECT_EQ(ToneRules::Luma(255, 0, 0), 28);
    EXPECT_EQ(ToneRules::Luma(255, 255, 255), 255);
    EXPECT_EQ(ToneRules::Luma(0, 0, 0), 0);
    EXPECT_EQ(ToneRules::Luma(23, 23, 23), 22);
    EXPECT_EQ(ToneRules::Luma(41, 41, 41), 40);
    EXPECT_EQ(ToneRules::Luma(128, 128, 128), 128);
    EXPECT_EQ(ToneRules::Luma(10, 10, 0), 7) << "a fused multiply-add gives 6";
}

TEST(ToneRules, GrayLevelsClampAndKeepTheFourthByte)
{
    const std::vector<std::uint32_t> src = RandomPixels(300, 1);
    const Span white = [](auto s, auto d, int n) { ToneRules::Gray(s, d, n, 255); };
    const Span black = [](auto s, auto d, int n) { ToneRules::Gray(s, d, n, -255); };
    const Span huge = [](auto s, auto d, int n) { ToneRules::Gray(s, d, n, INT_MAX); };
    const Span tiny = [](auto s, auto d, int n) { ToneRules::Gray(s, d, n, INT_MIN); };
    const Span lifted = [](auto s, auto d, int n) { ToneRules::Gray(s, d, n, 30); };
    const auto w = ApplyRule(white, src), b = ApplyRule(black, src), h = ApplyRule(huge, src), t = ApplyRule(tiny, src);
    const auto l = ApplyRule(lifted, src);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const std::uint32_t alpha = src[i] & 0xFF000000u;
        EXPECT_EQ(w[i], alpha | 0xFFFFFF);
        EXPECT_EQ(h[i], alpha | 0xFFFFFF);
        EXPECT_EQ(b[i], alpha);
        EXPECT_EQ(t[i], alpha);
        EXPECT_EQ(l[i], alpha | std::uint32_t(ToneRules::ClampByte(PixelLuma(src[i]) + 30)) * 0x010101u);
    }
}

TEST(ToneRules, InvertFlipsTheColourBytesOnly)
{
    const std::vector<std::uint32_t> src = RandomPixels(301, 2);
    const Span invert = [](auto s, auto d, int n) { ToneRules::Invert(s, d, n); };
    const auto once = ApplyRule(invert, src);
    EXPECT_EQ(ApplyRule(invert, once), src);
    for (std::size_t i = 0; i < src.size(); ++i)
        EXPECT_EQ(once[i], src[i] ^ 0x00FFFFFFu);
}

TEST(ToneRules, AddRgbClampsEachChannelOnItsOwn)
{
    const std::vector<std::uint32_t> src = RandomPixels(303, 3);
    const auto add = [&](int red, int green, int blue) {
        return ApplyRule([=](auto s, auto d, int n) { ToneRules::AddRgb(s, d, n, red, green, blue); }, src);
    };
    const auto white = add(255, 255, 255), black = add(-255, -255, -255), same = add(0, 0, 0);
    const auto redOnly = add(255, 0, 0), extreme = add(INT_MAX, INT_MIN, 0);
    EXPECT_EQ(same, src);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const std::uint32_t alpha = src[i] & 0xFF000000u;
        EXPECT_EQ(white[i], alpha | 0xFFFFFF);
        EXPECT_EQ(black[i], alpha);
        EXPECT_EQ(redOnly[i], src[i] | 0x00FF0000u);
        EXPECT_EQ(extreme[i], (src[i] & 0xFF0000FFu) | 0x00FF0000u);
    }
    // Mixed signs, against the rule written out channel by channel.
    std::mt19937 random(4);
    std::uniform_int_distribution<int> amount(-300, 300);
    for (int round = 0; round < 50; ++round) {
        const int r = amount(random), g = amount(random), b = amount(random);
        const auto out = add(r, g, b);
        for (std::size_t i = 0; i < src.size(); ++i) {
            const std::uint32_t p = src[i];
            const auto c = [&](int shift, int a) {
                return std::uint32_t(ToneRules::ClampByte(int(p >> shift & 0xFF) + a)) << shift;
            };
            ASSERT_EQ(out[i], (p & 0xFF000000u) | c(16, r) | c(8, g) | c(0, b)) << r << "," << g << "," << b;
        }
    }
}

TEST(ToneRules, Threshold)
{
    const auto threshold = [](const std::vector<std::uint32_t>& src, int t, bool reverse) {
        return ApplyRule([=](auto s, auto d, int n) { ToneRules::Threshold(s, d, n, t, reverse); }, src);
    };
    std::vector<std::uint32_t> src = RandomPixels(500, 5);
    for (int b = 250; b < 256; ++b) // the colours closest to white
        for (int g = 250; g < 256; ++g)
            for (int r = 250; r < 256; ++r)
                src.push_back(Pixel(r, g, b, 0x80));
    const auto allWhite = threshold(src, 0, false), allBlack = threshold(src, 0, true);
    const auto top = threshold(src, 255, false), middle = threshold(src, 100, true);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const std::uint32_t alpha = src[i] & 0xFF000000u;
        EXPECT_EQ(allWhite[i], alpha | 0xFFFFFF);
        EXPECT_EQ(allBlack[i], alpha);
        EXPECT_EQ(top[i], alpha | ((src[i] & 0xFFFFFF) == 0xFFFFFF ? 0xFFFFFFu : 0u));
        EXPECT_EQ(middle[i], alpha | (PixelLuma(src[i]) < 100 ? 0xFFFFFFu : 0u));
    }
    const std::vector<std::uint32_t> grey(9, Pixel(128, 128, 128));
    EXPECT_EQ(threshold(grey, 128, false), std::vector<std::uint32_t>(9, Pixel(255, 255, 255)));
    EXPECT_EQ(threshold(grey, 128, true), std::vector<std::uint32_t>(9, Pixel(0, 0, 0)));
    EXPECT_EQ(threshold(grey, 129, false), std::vector<std::uint32_t>(9, Pixel(0, 0, 0)));
}

// Every length, start and in-place use must give what the rule gives one pixel at a time.
TEST(ToneRules, SpansOfAnyLengthStartAndPlaceAgreeWithSinglePixels)
{
    const std::vector<std::uint32_t> pixels = RandomPixels(140, 6);
    for (const NamedRule& named : AllRules()) {
        SCOPED_TRACE(named.name);
        std::vector<std::uint32_t> single(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            named.rule(&pixels[i], &single[i], 1);
        for (int start = 0; start < 8; ++start) {
            for (int count = 1; count <= 130; ++count) {
                std::vector<std::uint32_t> out(pixels.size(), 0x12345678u);
                named.rule(pixels.data() + start, out.data() + (7 - start), count);
                std::vector<std::uint32_t> inPlace(pixels.begin() + start, pixels.begin() + start + count);
                named.rule(inPlace.data(), inPlace.data(), count);
                for (int i = 0; i < count; ++i) {
                    ASSERT_EQ(out[7 - start + i], single[start + i]) << "start " << start << " count " << count;
                    ASSERT_EQ(inPlace[i], single[start + i]) << "in place, start " << start << " count " << count;
                }
                ASSERT_EQ(out[7 - start + count], 0x12345678u) << "wrote past the span";
            }
        }
    }
}
