#include "canvas/CViewGeometry.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Zoom = CViewGeometry::Zoom;

class ViewGeometryAtEveryStep : public ::testing::TestWithParam<Zoom>
{
protected:
    static constexpr int W = 101; // odd, so no step divides it
    static constexpr int H = 7;
    CViewGeometry geometry{QSize(W, H), GetParam()};
};

// Every content pixel shows one image pixel, in order, each pixel at most once in a run; the first
// pixel showing x is ScreenX(x); the column past the content reaches the edge exactly.
TEST_P(ViewGeometryAtEveryStep, ContentPixelsShowThePictureInOrderAndReachItsEdge)
{
    const QSize content = geometry.ContentSize();
    int previous = -1;
    for (int u = 0; u < content.width(); ++u) {
        const int x = geometry.ImagePoint({u, 0}).x();
        ASSERT_GE(x, previous) << u;
        ASSERT_LT(x, W) << u;
        if (x != previous) {
            EXPECT_EQ(geometry.ScreenX(x), u) << "first column showing " << x;
        }
        // The pixel shown is the one whose footprint holds the column's centre.
        const double centre = (u + 0.5) / GetParam().Value();
        EXPECT_LE(x, centre);
        EXPECT_GT(x + 1, centre);
        previous = x;
    }
    EXPECT_EQ(geometry.ImagePoint(QPoint(content.width(), content.height())), QPoint(W, H));
    if (!(GetParam() < Zoom{1, 1})) {
        // Zoomed in, every pixel shows: a gesture can reach each of them.
        for (int x = 0; x < W; ++x)
            EXPECT_EQ(geometry.ImagePoint(geometry.ScreenCentre({x, 0})).x(), x);
    }
}

TEST_P(ViewGeometryAtEveryStep, ScreenRectIsWhatShowsTheAreaAndNeverEmpty)
{
    for (const QRect area : {QRect(0, 0, W, H), QRect(3, 1, 40, 5), QRect(50, 2, 1, 1)}) {
        const QRect screen = geometry.ScreenRect(area);
        ASSERT_FALSE(screen.isEmpty());
        for (int u = screen.left() - 1; u <= screen.right() + 1; ++u) {
            const bool inside = u >= screen.left() && u <= screen.right();
            const int x = geometry.ImagePoint({u, 0}).x();
            // Below 100 % a narrow area may show in no pixel; then ScreenRect gives the first after it.
            if (GetParam() < Zoom{1, 1} && screen.width() == 1)
                continue;
            EXPECT_EQ(inside, x >= area.left() && x < area.left() + area.width()) << u;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ViewGeometryAtEveryStep,
                         ::testing::ValuesIn(CViewGeometry::Steps().begin(), CViewGeometry::Steps().end()),
                         [](const ::testing::TestParamInfo<Zoom>& info) {
                             return std::to_string(info.param.num) + "_" + std::to_string(info.param.den);
                         });

TEST(ViewGeometry, StepsGoToTheNextStepFromAnyZoomAndStopAtTheEnds)
{
    EXPECT_EQ(CViewGeometry::StepIn({1, 1}).Value(), 1.5);
    EXPECT_EQ(CViewGeometry::StepOut({1, 1}).Value(), 2.0 / 3);
    EXPECT_EQ(CViewGeometry::StepIn({27, 100}).Value(), 1.0 / 3); // from a fitted zoom
    EXPECT_EQ(CViewGeometry::StepOut({27, 100}).Value(), 0.25);
    EXPECT_EQ(CViewGeometry::StepIn({32, 1}).Value(), 32);
    EXPECT_EQ(CViewGeometry::StepOut({1, 32}).Value(), 1.0 / 32);
}

TEST(ViewGeometry, FitShrinksExactlyAndEnlargesByWholeMultiples)
{
    EXPECT_EQ(CViewGeometry::Fit({6000, 4000}, {1920, 1080}), (Zoom{1080, 4000}));
    EXPECT_EQ(CViewGeometry::Fit({6000, 1000}, {1920, 1080}), (Zoom{1920, 6000}));
    EXPECT_EQ(CViewGeometry::Fit({40, 30}, {1000, 700}), (Zoom{23, 1}));
    EXPECT_EQ(CViewGeometry::Fit({10, 10}, {1000, 1000}), (Zoom{32, 1}));
    EXPECT_EQ(CViewGeometry::Fit({100000, 10}, {1000, 1000}), (Zoom{1, 32}));
    const CViewGeometry fitted({6000, 4000}, CViewGeometry::Fit({6000, 4000}, {1920, 1080}));
    EXPECT_LE(fitted.ContentSize().width(), 1920);
    EXPECT_EQ(fitted.ContentSize().height(), 1080);
}

TEST(ViewGeometry, ScrollKeepsTheImagePositionUnderThePoint)
{
    // Image position 250.5 under the point 100 device pixels in: at 4x the content position 1002
    // holds it, so the viewport starts at 902.
    EXPECT_EQ(CViewGeometry::ScrollKeeping({250.5, 10}, {100, 0}, {4, 1}), QPoint(902, 40));
}

} // namespace
