#include "effects/COverlayPattern.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t Rgb(int red, int green, int blue)
{
    return 0xFF000000u | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | std::uint32_t(blue);
}

int Channel(std::uint32_t p, int shift)
{
    return int(p >> shift & 0xFF);
}

// A colour the source pictures below never contain, so "changed" means "covered".
constexpr std::uint32_t Green = 0x0000FF00u; // 0x00BBGGRR
constexpr std::uint32_t GreenPixel = Rgb(0, 255, 0);

// Random pixels with green below 255 and a random byte 3.
std::vector<std::uint32_t> Picture(int width, int height, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    for (auto& p : pixels)
        p = std::uint32_t(random()) & 0xFFFFFEFFu;
    return pixels;
}

std::vector<std::uint32_t> Render(const COverlayPattern& pattern, const std::vector<std::uint32_t>& src, int width,
                                  int ox = 0, int oy = 0)
{
    std::vector<std::uint32_t> dst(src.size());
    for (std::size_t y = 0; y * width < src.size(); ++y)
        pattern.Render(src.data() + y * width, dst.data() + y * width, width, ox, oy + int(y));
    return dst;
}

// The covered pixels of an opaque green overlay as rows of '#' and '.'; also checks that covered
// pixels are exactly the colour (with the image's byte 3) and the others unchanged.
std::vector<std::string> Drawn(const COverlayPattern& pattern, int width, int height)
{
    const std::vector<std::uint32_t> src = Picture(width, height);
    const std::vector<std::uint32_t> dst = Render(pattern, src, width);
    std::vector<std::string> rows(std::size_t(height), std::string(std::size_t(width), '.'));
    for (std::size_t i = 0; i < src.size(); ++i) {
        if (dst[i] == src[i])
            continue;
        EXPECT_EQ(dst[i], (src[i] & 0xFF000000u) | (GreenPixel & 0xFFFFFFu)) << "pixel " << i;
        rows[i / width][i % width] = '#';
    }
    return rows;
}

COverlayPattern GreenLines(int direction, int width, int spacing, int kind = 0, std::int64_t extent = INT_MAX)
{
    return COverlayPattern::Lines(direction, width, spacing, Green, kind, 255, extent);
}

std::string Repeat(const std::string& unit, int length)
{
    std::string s;
    while (int(s.size()) < length)
        s += unit;
    return s.substr(0, std::size_t(length));
}

} // namespace

TEST(OverlayBlend, IsTheRoundedWeightedMeanForEveryValueAndOpacity)
{
    int wrong = 0;
    for (int a = 0; a < 256; ++a)
        for (int o = 0; o < 256; ++o)
            for (int i = 0; i < 256; ++i) {
                // Three channels at once, each with a different pair, so a swapped channel shows.
                const std::uint32_t overlay = Rgb(o, 255 - o, o ^ 0x5A);
                const std::uint32_t image = Rgb(i, i ^ 0xA5, 255 - i);
                const std::uint32_t got = COverlayPattern::Blend(overlay, image, a);
                const auto expect = [a](int over, int under) { return (over * a + under * (255 - a) + 127) / 255; };
                wrong += Channel(got, 16) != expect(o, i);
                wrong += Channel(got, 8) != expect(255 - o, i ^ 0xA5);
                wrong += Channel(got, 0) != expect(o ^ 0x5A, 255 - i);
            }
    EXPECT_EQ(wrong, 0);
}

TEST(OverlayBlend, EndsAreExactEqualInputsStayAndByteThreeIsTheImages)
{
    std::mt19937 random(3);
    for (int n = 0; n < 20000; ++n) {
        const std::uint32_t overlay = std::uint32_t(random());
        const std::uint32_t image = std::uint32_t(random());
        const int a = int(random() % 256);
        EXPECT_EQ(COverlayPattern::Blend(overlay, image, 255), (image & 0xFF000000u) | (overlay & 0xFFFFFFu));
        EXPECT_EQ(COverlayPattern::Blend(overlay, image, 0), image);
        EXPECT_EQ(COverlayPattern::Blend(image, image, a), image) << a;
        EXPECT_EQ(COverlayPattern::Blend(overlay, image, a) >> 24, image >> 24);
    }
    // Out-of-range opacities are clamped.
    EXPECT_EQ(COverlayPattern::Blend(Rgb(1, 2, 3), Rgb(9, 9, 9), 1000), Rgb(1, 2, 3));
    EXPECT_EQ(COverlayPattern::Blend(Rgb(1, 2, 3), Rgb(9, 9, 9), -5), Rgb(9, 9, 9));
}

TEST(OverlaySolid, OpaqueIsTheColourTransparentIsTheImageHalfIsHalfway)
{
    const std::vector<std::uint32_t> src = Picture(300, 2);
    // 0x00BBGGRR: red 0x11, green 0x22, blue 0x33.
    const std::vector<std::uint32_t> opaque = Render(COverlayPattern::Solid(0x00332211u, 255), src, 300);
    for (std::size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(opaque[i], (src[i] & 0xFF000000u) | 0x112233u) << i;
    EXPECT_EQ(Render(COverlayPattern::Solid(0x00332211u, 0), src, 300), src);

    const std::vector<std::uint32_t> gray(64, Rgb(100, 0, 200));
    for (std::uint32_t p : Render(COverlayPattern::Solid(0x00FFFFFFu, 128), gray, 64)) {
        EXPECT_EQ(Channel(p, 16), 178); // 100 + (255 - 100) · 128/255
        EXPECT_EQ(Channel(p, 8), 128);
        EXPECT_EQ(Channel(p, 0), 228);
    }
}

TEST(OverlayLines, HorizontalRowsFromTheTopEdge)
{
    EXPECT_EQ(Drawn(GreenLines(0, 1, 1), 5, 5),
              (std::vector<std::string>{"#####", ".....", "#####", ".....", "#####"}));
    EXPECT_EQ(Drawn(GreenLines(0, 1, 0), 3, 4), (std::vector<std::string>(4, "###")));
    EXPECT_EQ(Drawn(GreenLines(0, 2, 1), 2, 7), (std::vector<std::string>{"##", "..", "##", "##", "..", "##", "##"}))
        << "an even width covers its row and the one above";
}

TEST(OverlayLines, VerticalColumnsFromTheLeftEdgeAndOtherDirectionsNothing)
{
    EXPECT_EQ(Drawn(GreenLines(90, 1, 2), 8, 2), (std::vector<std::string>(2, "#..#..#.")));
    EXPECT_EQ(Drawn(GreenLines(90, 1, 0), 4, 2), (std::vector<std::string>(2, "####")));
    for (int direction : {45, -90, 180, 1})
        EXPECT_EQ(Drawn(GreenLines(direction, 1, 1), 6, 6), (std::vector<std::string>(6, "......"))) << direction;
}

TEST(OverlayLines, WideLinesAreCentredSoTheFirstShowsHalf)
{
    const std::vector<std::string> rows = Drawn(GreenLines(0, 5, 5), 1, 24);
    std::string column;
    for (const std::string& r : rows)
        column += r;
    // Lines centred on rows 0, 10, 20 cover 2 rows either side.
    EXPECT_EQ(column, "###.....#####.....#####.");
    EXPECT_EQ(Drawn(GreenLines(90, 5, 5), 14, 1)[0], "###.....#####.");
}

TEST(OverlayLines, DashKindsFollowQtsPatternsFromTheLineStart)
{
    const int w = 40;
    const std::string expected[] = {
        Repeat("#", w), Repeat("####..", w), Repeat("#..", w), Repeat("####..#..", w), Repeat("####..#..#..", w),
    };
    for (int kind = 0; kind <= 4; ++kind) {
        const std::vector<std::string> horizontal = Drawn(GreenLines(0, 1, 1, kind), w, 3);
        EXPECT_EQ(horizontal[0], expected[kind]) << kind;
        EXPECT_EQ(horizontal[1], std::string(w, '.')) << kind;
        EXPECT_EQ(horizontal[2], expected[kind]) << kind;

        // Along a vertical line the pattern runs down from the top edge.
        const std::vector<std::string> vertical = Drawn(GreenLines(90, 1, 1, kind), 3, w);
        std::string down;
        for (const std::string& r : vertical) {
            EXPECT_EQ(r[1], '.');
            EXPECT_EQ(r[0], r[2]);
            down += r[0];
        }
        EXPECT_EQ(down, expected[kind]) << kind;
    }
}

TEST(OverlayLines, WideDashesScaleWithTheWidth)
{
    const std::vector<std::string> rows = Drawn(GreenLines(0, 3, 3, 1), 40, 6);
    const std::string dashed = Repeat(std::string(12, '#') + std::string(6, '.'), 40);
    EXPECT_EQ(rows, (std::vector<std::string>{dashed, dashed, std::string(40, '.'), std::string(40, '.'),
                                              std::string(40, '.'), dashed}));
}

TEST(OverlayDots, SpacingsPickEveryNthColumnAndRow)
{
    const std::vector<std::uint32_t> src = Picture(70, 5);
    EXPECT_EQ(Render(COverlayPattern::Dots(0, 0, 0x00123456u, 90), src, 70),
              Render(COverlayPattern::Solid(0x00123456u, 90), src, 70));
    EXPECT_EQ(Drawn(COverlayPattern::Dots(2, 0, Green, 255), 10, 2), (std::vector<std::string>(2, "#..#..#..#")));
    EXPECT_EQ(Drawn(COverlayPattern::Dots(1, 2, Green, 255), 5, 5),
              (std::vector<std::string>{"#.#.#", ".....", ".....", "#.#.#", "....."}));
}

// Rendering a row in pieces at their own offsets must give the row rendered whole: the pipeline
// cuts rows at tile edges, so every phase of a pattern starts some piece.
TEST(OverlayRender, PiecesOfARowMatchTheWholeRowForShortAndLongPeriods)
{
    const COverlayPattern patterns[] = {
        GreenLines(90, 1, 1),
        GreenLines(90, 3000, 3000),
        GreenLines(0, 7, 2, 4),
        GreenLines(0, 3000, 0, 3),
        GreenLines(0, 100, 1, 2),
        COverlayPattern::Dots(5, 0, Green, 200),
        COverlayPattern::Dots(400, 0, Green, 200),
        GreenLines(90, 130, 127),
    };
    const int width = 9000;
    const std::vector<std::uint32_t> src = Picture(width, 1);
    for (std::size_t k = 0; k < std::size(patterns); ++k) {
        std::vector<std::uint32_t> whole(width), pieces(width);
        patterns[k].Render(src.data(), whole.data(), width, 0, 0);
        for (int x = 0, n = 1; x < width; x += n, n = n * 7 % 300 + 1)
            patterns[k].Render(src.data() + x, pieces.data() + x, std::min(n, width - x), x, 0);
        EXPECT_EQ(pieces, whole) << "pattern " << k;
    }
}

TEST(OverlayRender, InPlaceAndExtremeCoordinatesAreSafe)
{
    const COverlayPattern lines = GreenLines(90, 3000, 3000, 0);
    const COverlayPattern dashes = GreenLines(0, 3000, 3000, 4);
    std::vector<std::uint32_t> src = Picture(200, 1);
    std::vector<std::uint32_t> out(200);
    for (int at : {INT_MAX - 199, INT_MIN, -150, 0}) {
        lines.Render(src.data(), out.data(), 200, at, at);
        dashes.Render(src.data(), out.data(), 200, at, at);
    }
    // Left of the first line's left half nothing is covered.
    lines.Render(src.data(), out.data(), 200, -1700, 0);
    EXPECT_EQ(out, src);
    lines.Render(src.data(), out.data(), 200, -1501, 0);
    EXPECT_EQ(out[0], src[0]);
    EXPECT_EQ(out[1], (src[1] & 0xFF000000u) | (GreenPixel & 0xFFFFFFu));

    const std::vector<std::uint32_t> expected = Render(GreenLines(90, 2, 3, 1), src, 200);
    GreenLines(90, 2, 3, 1).Render(src.data(), src.data(), 200, 0, 0);
    EXPECT_EQ(src, expected);
}

TEST(OverlayRender, LinesEndWithTheLastCentreBeforeTheExtent)
{
    // Step 8 over 10 rows: lines centred on rows 0 and 8 only. A line centred on row 16 would
    // reach up to row 14, which a taller rectangle would show.
    EXPECT_EQ(Drawn(GreenLines(0, 5, 3, 0, 10), 1, 20),
              (std::vector<std::string>{"#", "#", "#", ".", ".", ".", "#", "#", "#", "#",
                                        "#", ".", ".", ".", ".", ".", ".", ".", ".", "."}));
    EXPECT_EQ(Drawn(GreenLines(90, 5, 3, 0, 10), 20, 1), (std::vector<std::string>{"###...#####........."}));
    // The limit also holds where short periods are served from the precomputed mask.
    EXPECT_EQ(Drawn(GreenLines(90, 1, 1, 0, 5), 300, 1)[0], std::string("#.#.#") + std::string(295, '.'));
    EXPECT_EQ(Drawn(GreenLines(0, 1, 0, 0, 0), 4, 2), (std::vector<std::string>{"....", "...."}));
}
