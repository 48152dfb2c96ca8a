#include "canvas/CScrollBarStyle.h"

#include "support/QtPrinters.h"

#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

// The canvas's scroll bars are drawn on another thread; they must look exactly like the
// application's own in every position, both ways round, enabled or not, at every scale.
class CanvasZoomScrollBarStyle : public testing::TestWithParam<std::tuple<Qt::Orientation, int, bool>>
{
};

QImage Painted(QScrollBar& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST_P(CanvasZoomScrollBarStyle, LooksLikeTheApplicationStyle)
{
    const auto [orientation, value, enabled] = GetParam();
    std::unique_ptr<QScrollBar> bars[2];
    for (auto& bar : bars) {
        bar = std::make_unique<QScrollBar>(orientation);
        bar->setRange(0, 1000);
        bar->setPageStep(150);
        bar->setValue(value);
        bar->setEnabled(enabled);
        bar->resize(orientation == Qt::Horizontal ? QSize(640, 17) : QSize(17, 480));
    }
    bars[1]->setStyle(CScrollBarStyle::Instance());
    ASSERT_TRUE(bars[1]->testAttribute(Qt::WA_OpaquePaintEvent)) << "nothing needs painting beneath it";
    EXPECT_EQ(Painted(*bars[1]), Painted(*bars[0]));
}

INSTANTIATE_TEST_SUITE_P(Bars, CanvasZoomScrollBarStyle,
                         testing::Combine(testing::Values(Qt::Horizontal, Qt::Vertical), testing::Values(0, 437, 1000),
                                          testing::Bool()));
