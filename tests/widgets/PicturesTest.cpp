#include "widgets/Pictures.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

constexpr QRgb Magenta = 0xFFFF00FFu;

struct PictureCase
{
    const char* name;
    QSize size;
    bool opaque; // a 24-bit picture that covers its whole area (no magenta left to cut out)
};

void PrintTo(const PictureCase& picture, std::ostream* out)
{
    *out << picture.name;
}

int CountPixels(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour ? 1 : 0;
    return count;
}

class PicturesTest : public ::testing::TestWithParam<PictureCase>
{
};

TEST_P(PicturesTest, RendersSomethingAtItsSize)
{
    const PictureCase& picture = GetParam();
    const QImage image = Pictures::Render(QLatin1String(picture.name), picture.size, Magenta);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), picture.size);
    const int background = CountPixels(image, Magenta);
    EXPECT_LT(background, picture.size.width() * picture.size.height());
    if (picture.opaque) {
        EXPECT_EQ(background, 0);
    }
}

TEST_P(PicturesTest, MaskedKeepsThePictureAndCutsTheGround)
{
    const PictureCase& picture = GetParam();
    const QImage image = Pictures::Masked(QLatin1String(picture.name), picture.size).toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), picture.size);
    EXPECT_EQ(CountPixels(image.convertToFormat(QImage::Format_ARGB32), Magenta), 0);
    if (!picture.opaque) {
        EXPECT_TRUE(image.hasAlphaChannel());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Named, PicturesTest,
    ::testing::Values(PictureCase{"open", {24, 24}, false}, PictureCase{"save", {24, 24}, false},
                      PictureCase{"save-as", {24, 24}, false}, PictureCase{"close", {24, 24}, false},
                      PictureCase{"undo", {24, 24}, false}, PictureCase{"redo", {24, 24}, false},
                      PictureCase{"about", {24, 24}, false}, PictureCase{"tool-pointer", {24, 24}, false},
                      PictureCase{"tool-rectangle", {24, 24}, false}, PictureCase{"tool-ellipse", {24, 24}, false},
                      PictureCase{"tool-polygon", {24, 24}, false}, PictureCase{"tool-freehand", {24, 24}, false},
                      PictureCase{"splash", {438, 150}, true}, PictureCase{"about-picture", {444, 202}, true},
                      PictureCase{"notice-success", {63, 59}, true}, PictureCase{"notice-failure", {60, 62}, true},
                      PictureCase{"notice-warning", {64, 62}, true}, PictureCase{"quorvel", {16, 16}, false},
                      PictureCase{"quorvel", {256, 256}, false}),
    [](const ::testing::TestParamInfo<PictureCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == '-')
                c = '_';
        return name + "_" + std::to_string(info.param.size.width());
    });

TEST(PicturesUnknownTest, AnUnknownNameGivesNothing)
{
    EXPECT_TRUE(Pictures::Render(QStringLiteral("no-such-picture"), QSize(24, 24)).isNull());
    EXPECT_TRUE(Pictures::Masked(QStringLiteral("no-such-picture"), QSize(24, 24)).isNull());
    EXPECT_TRUE(Pictures::Render(QStringLiteral("open"), QSize(0, 0)).isNull());
}

} // namespace
