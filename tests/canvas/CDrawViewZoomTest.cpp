// Also run on desktops scaled by 2 and 1.5 (QT_SCALE_FACTOR, see CMakeLists.txt): everything here
// works in device pixels.
#include "CanvasFixture.h"

#include "canvas/CDrawView.h"
#include "support/QtPrinters.h"
#include "support/TestImages.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Zoom = CViewGeometry::Zoom;

class CanvasZoom : public CanvasFixture
{
protected:
    CanvasZoom() : CanvasFixture(QSize(240, 180)) {}

    qreal Ratio() const { return view.viewport()->devicePixelRatioF(); }
    // The viewport position (Qt's logical pixels) over the middle of device pixel `device`.
    QPointF Client(QPoint device) const { return (QPointF(device) + QPointF(0.5, 0.5)) / Ratio(); }
    // The viewport device pixel that shows the middle of image pixel `p`.
    QPoint DeviceOf(QPoint p) const { return view.Geometry().ScreenCentre(p) - view.ScrollPosition(); }

    void Send(QEvent::Type type, QPoint device, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPointF client = Client(device);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, client, view.viewport()->mapToGlobal(client), button, held, {});
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
    void Click(QPoint device)
    {
        Send(QEvent::MouseButtonPress, device);
        Send(QEvent::MouseButtonRelease, device);
    }
    void Drag(const std::vector<QPoint>& devices)
    {
        Send(QEvent::MouseButtonPress, devices.front());
        for (const QPoint& d : devices)
            Send(QEvent::MouseMove, d, Qt::NoButton);
        Send(QEvent::MouseButtonRelease, devices.back());
    }
    void Wheel(QPoint device, int angle)
    {
        const QPointF client = Client(device);
        QWheelEvent event(client, view.viewport()->mapToGlobal(client), {}, {0, angle}, Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }

    QImage Grab()
    {
        // Device pixels, as the screen shows them.
        return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

class CanvasZoomGesture : public CanvasZoom, public ::testing::WithParamInterface<std::tuple<Zoom, SelectionKind>>
{
};

std::string GestureName(const ::testing::TestParamInfo<std::tuple<Zoom, SelectionKind>>& info)
{
    static const char* const tools[] = {"None", "Rectangle", "Ellipse", "Polygon", "Freeform"};
    const Zoom zoom = std::get<0>(info.param);
    return std::to_string(zoom.num) + "_" + std::to_string(zoom.den) + "_" + tools[int(std::get<1>(info.param))];
}

// A gesture over given image pixels selects them at every zoom, as it does at 100 %.
TEST_P(CanvasZoomGesture, SelectsThePixelsUnderThePointer)
{
    const auto [zoom, kind] = GetParam();
    Open(1600, 1100);
    view.ZoomAt(zoom, {});
    view.horizontalScrollBar()->setValue(7);
    view.verticalScrollBar()->setValue(3);
    // Image pixels that show at this zoom: those under chosen device pixels.
    std::vector<QPoint> devices{{20, 15}, {130, 40}, {90, 120}, {25, 100}};
    std::vector<QPoint> pixels;
    for (const QPoint& d : devices)
        pixels.push_back(view.Geometry().ImagePoint(d + view.ScrollPosition()));

    view.SetTool(kind);
    if (kind == SelectionKind::Polygon) {
        for (const QPoint& d : devices)
            Click(d);
        Click(devices.front() + QPoint(2, 2)); // near the first vertex on the screen: closes
    } else {
        Drag(kind == SelectionKind::Freeform ? devices : std::vector<QPoint>{devices[0], devices[1]});
    }

    std::vector<QPoint> expected = pixels;
    if (kind == SelectionKind::Rectangle || kind == SelectionKind::Ellipse)
        expected = {pixels[0], pixels[1]};
    else if (kind == SelectionKind::Freeform)
        expected = {pixels[0], pixels[0], pixels[1], pixels[2], pixels[3], pixels[3], pixels[0]};
    else
        expected.push_back(pixels[0]);
    EXPECT_EQ(view.doc.selection.kind, kind);
    EXPECT_EQ(std::vector<QPoint>(view.doc.selection.points.begin(), view.doc.selection.points.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(ZoomsAndTools, CanvasZoomGesture,
                         ::testing::Combine(::testing::Values(Zoom{1, 8}, Zoom{1, 3}, Zoom{2, 3}, Zoom{1, 1},
                                                              Zoom{3, 2}, Zoom{4, 1}),
                                            ::testing::Values(SelectionKind::Rectangle, SelectionKind::Ellipse,
                                                              SelectionKind::Polygon, SelectionKind::Freeform)),
                         GestureName);

// Six of the desktop's pixels on the screen close a polygon, whatever they hold of the picture.
TEST_F(CanvasZoom, PolygonClosesWithinSixScreenPixelsAtEveryZoom)
{
    Open(600, 400);
    const int reach = int(std::lround(6 * Ratio()));
    for (const Zoom zoom : {Zoom{1, 4}, Zoom{4, 1}}) {
        view.ZoomAt(zoom, {});
        view.SetTool(SelectionKind::Polygon);
        const QPoint first = DeviceOf({40, 40});
        Click(first);
        Click(first + QPoint(60, 0));
        Click(first + QPoint(reach + 2, 0)); // a vertex of its own, though a pixel or two away at 4x
        EXPECT_TRUE(view.IsDrawing());
        Click(first + QPoint(reach, -reach));
        EXPECT_FALSE(view.IsDrawing()) << zoom.den;
        EXPECT_EQ(view.doc.selection.points.size(), 4);
    }
}

TEST_F(CanvasZoom, ScrollRangesAndStepsFollowTheZoomedSize)
{
    Open(1000, 800);
    view.ZoomAt({2, 1}, {});
    const QSize device = view.Geometry().ContentSize();
    EXPECT_EQ(device, QSize(2000, 1600));
    const int visible = int(std::ceil(view.viewport()->width() * Ratio()));
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 2000 - visible);
    EXPECT_EQ(view.horizontalScrollBar()->pageStep(), 200);
    EXPECT_EQ(view.horizontalScrollBar()->singleStep(), 20);

    // As large as the whole viewport once fitted: the scroll bars shown at 2x must not stay.
    Open(2400, 1800);
    view.ZoomAt({2, 1}, {});
    QCoreApplication::processEvents(); // the scroll bars show
    ASSERT_LT(view.viewport()->width(), 240);
    view.FitToWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_LE(view.Geometry().ContentSize().width(), int(std::ceil(view.viewport()->width() * Ratio())));

    // A picture opened afterwards shows at 100 %, also one of the same size.
    Open(2400, 1800);
    EXPECT_EQ(view.GetZoom(), (Zoom{1, 1}));
}

TEST_F(CanvasZoom, WheelWithControlZoomsAroundThePointerAndKeysAroundTheCentre)
{
    Open(1000, 800);
    const QPoint pointer(50, 40);
    const QPoint under = view.Geometry().ImagePoint(pointer + view.ScrollPosition());
    Wheel(pointer, 60); // half a notch: nothing yet
    EXPECT_EQ(view.GetZoom(), (Zoom{1, 1}));
    Wheel(pointer, 60);
    EXPECT_EQ(view.GetZoom(), (Zoom{3, 2}));
    Wheel(pointer, 240);
    EXPECT_EQ(view.GetZoom(), (Zoom{3, 1}));
    EXPECT_EQ(view.Geometry().ImagePoint(pointer + view.ScrollPosition()), under);

    const QPoint centre = QRectF(view.viewport()->rect()).center().toPoint() * Ratio();
    const QPoint middle = view.Geometry().ImagePoint(centre + view.ScrollPosition());
    view.ZoomIn();
    EXPECT_EQ(view.GetZoom(), (Zoom{4, 1}));
    EXPECT_LE((view.Geometry().ImagePoint(centre + view.ScrollPosition()) - middle).manhattanLength(), 2);
    view.ShowActualSize();
    EXPECT_EQ(view.GetZoom(), (Zoom{1, 1}));
}

// Above 100 % each pixel is a square of device pixels; at 1/2 and 2/3 each device pixel is the mean
// of the 2 x 2 pixels below it: the first halving, sampled.
TEST_F(CanvasZoom, PixelsShowAsSquaresAboveAndAsMeansBelow)
{
    Open(200, 160);
    const auto mean = [&](int x, int y) {
        int sums[3] = {};
        for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            const QRgb p = picture.pixel(2 * x + d.x(), 2 * y + d.y());
            sums[0] += qRed(p), sums[1] += qGreen(p), sums[2] += qBlue(p);
        }
        return qRgb((sums[0] + 2) >> 2, (sums[1] + 2) >> 2, (sums[2] + 2) >> 2);
    };
    for (const Zoom zoom : {Zoom{4, 1}, Zoom{3, 2}, Zoom{1, 2}, Zoom{2, 3}}) {
        view.ZoomAt(zoom, {});
        const QImage shown = Grab();
        const CViewGeometry geometry = view.Geometry();
        const QSize content = geometry.ContentSize().boundedTo(QSize(100, 100));
        for (int v = 0; v < content.height(); v += 7) {
            for (int u = 0; u < content.width(); u += 5) {
                const QPoint p = geometry.ImagePoint({u, v});
                const QRgb expected = zoom < Zoom{1, 1} ? mean(p.x() / 2, p.y() / 2) : picture.pixel(p) | 0xFF000000u;
                ASSERT_EQ(shown.pixel(u, v) | 0xFF000000u, expected)
                    << zoom.num << "/" << zoom.den << " at " << u << "," << v;
            }
        }
    }
}

// The outline lies on the border of the screen pixels that show the selection, one device pixel wide.
TEST_F(CanvasZoom, OutlineFollowsTheZoomedSelection)
{
    Open(200, 160);
    view.doc.selection.AddPoint({10, 10});
    view.doc.selection.AddPoint({20, 15});
    view.doc.selection.kind = SelectionKind::Rectangle;
    view.ZoomAt({4, 1}, {});
    const QImage shown = Grab();
    const QImage bare = [&] {
        view.doc.selection.kind = SelectionKind::None;
        return Grab();
    }();
    const auto differs = [&](int u, int v) { return shown.pixel(u, v) != bare.pixel(u, v); };
    int onTop = 0;
    for (int u = 40; u < 80; ++u)
        onTop += differs(u, 40);
    EXPECT_GT(onTop, 10); // dotted
    for (int u = 41; u < 79; ++u) {
        EXPECT_FALSE(differs(u, 39)) << u;
        EXPECT_FALSE(differs(u, 41)) << u;
    }
    EXPECT_GT(differs(79, 50) + differs(79, 51), 0); // the right border: last column of pixel 19
    EXPECT_FALSE(differs(80, 50));
}

} // namespace
