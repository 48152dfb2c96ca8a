#include "desktop/CScreenPicker.h"

#include "support/QtPrinters.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

namespace {

// Every grabbed pixel its own colour: red and green the low bytes of x and y, blue their high bits.
QRgb Pattern(QPoint pixel)
{
    return qRgb(pixel.x() & 0xff, pixel.y() & 0xff, (pixel.x() >> 8) | (pixel.y() >> 8) << 4);
}

std::uint32_t Packed(QPoint pixel)
{
    const QRgb rgb = Pattern(pixel);
    return static_cast<std::uint32_t>(qRed(rgb) | qGreen(rgb) << 8 | qBlue(rgb) << 16);
}

QImage PatternGrab(QSize size, int ratio)
{
    QImage grab(size * ratio, QImage::Format_RGB32);
    for (int y = 0; y < grab.height(); ++y)
        for (int x = 0; x < grab.width(); ++x)
            grab.setPixel(x, y, Pattern(QPoint(x, y)));
    grab.setDevicePixelRatio(ratio);
    return grab;
}

// QTest reads the point (0, 0) as "the widget's centre": the corner needs events of our own.
void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void MoveTo(QWidget& widget, QPoint at)
{
    SendMouse(widget, QEvent::MouseMove, Qt::NoButton, at);
}

void Click(QWidget& widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(widget, QEvent::MouseButtonPress, button, at);
    SendMouse(widget, QEvent::MouseButtonRelease, button, at);
}

const QRect Screen(0, 0, 400, 300);
const QPoint Corners[] = {QPoint(0, 0), QPoint(399, 0), QPoint(0, 299), QPoint(399, 299)};

// The picker over a 400 × 300 screen grabbed at a device pixel ratio of 1 or 2.
class ScreenPickerTest : public ::testing::TestWithParam<int>
{
protected:
    int Ratio() const { return GetParam(); }

    CScreenPicker picker{PatternGrab(Screen.size(), GetParam()), Screen};
};

TEST_P(ScreenPickerTest, LeftClickPicksTheGrabbedPixelUnderThePointerUpToTheEdges)
{
    for (const QPoint at : {Corners[0], QPoint(137, 42), Corners[1], Corners[2], Corners[3]}) {
        SCOPED_TRACE(::testing::PrintToString(at));
        picker.Start();
        EXPECT_TRUE(picker.isVisible());
        MoveTo(picker, at);
        EXPECT_EQ(picker.AimedPixel(), at * Ratio());
        Click(picker, at);
        EXPECT_TRUE(picker.IsFinished());
        EXPECT_FALSE(picker.isVisible());
        EXPECT_EQ(picker.Picked(), Packed(at * Ratio()));
    }
    // A fraction of a logical pixel reaches the grabbed pixel it covers; beyond the screen, the edge.
    EXPECT_EQ(picker.ColorAt(QPointF(10.75, 3.25)), Packed(Ratio() == 2 ? QPoint(21, 6) : QPoint(10, 3)));
    EXPECT_EQ(picker.ColorAt(QPointF(-5, 1000)), Packed(QPoint(0, Screen.height() * Ratio() - 1)));
}

TEST_P(ScreenPickerTest, EscAndClosingCancelWhileArrowsAndEnterPickTheAimedPixel)
{
    picker.Start();
    MoveTo(picker, QPoint(20, 30));
    Click(picker, QPoint(20, 30), Qt::RightButton);
    EXPECT_FALSE(picker.IsFinished());
    QTest::keyClick(&picker, Qt::Key_Escape);
    EXPECT_TRUE(picker.IsFinished());
    EXPECT_EQ(picker.Picked(), std::nullopt);
    EXPECT_FALSE(picker.isVisible());

    picker.Start();
    MoveTo(picker, QPoint(20, 30));
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        QTest::keyClick(&picker, key);
    QTest::keyClick(&picker, Qt::Key_Return);
    EXPECT_EQ(picker.Picked(), Packed(QPoint(20, 30) * Ratio() + QPoint(2, 1)));

    // The arrows stop at the grab's edges.
    picker.Start();
    MoveTo(picker, Corners[3]);
    QTest::keyClick(&picker, Qt::Key_Right);
    QTest::keyClick(&picker, Qt::Key_Down);
    EXPECT_EQ(picker.AimedPixel(), QPoint(Screen.width(), Screen.height()) * Ratio() - QPoint(1, 1));

    picker.close();
    EXPECT_TRUE(picker.IsFinished());
    EXPECT_EQ(picker.Picked(), std::nullopt);
}

TEST_P(ScreenPickerTest, RunWaitsForTheUserAndAnswersThePick)
{
    // Ends a run the test's input failed to end, failing it.
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &picker, &QWidget::close);
    watchdog.start(5000);

    QTimer::singleShot(0, &picker, [this] {
        MoveTo(picker, QPoint(50, 60));
        Click(picker, QPoint(50, 60));
    });
    EXPECT_EQ(picker.Run(), Packed(QPoint(50, 60) * Ratio()));

    QTimer::singleShot(0, &picker, [this] { QTest::keyClick(&picker, Qt::Key_Escape); });
    EXPECT_EQ(picker.Run(), std::nullopt);
}

TEST_P(ScreenPickerTest, InfoBoxStaysOnTheScreenAndOffThePointer)
{
    picker.Start();
    for (const QPoint at : {Corners[0], Corners[1], Corners[2], Corners[3], QPoint(200, 0), QPoint(399, 150),
                            QPoint(200, 299), QPoint(0, 150), QPoint(200, 150)}) {
        SCOPED_TRACE(::testing::PrintToString(at));
        MoveTo(picker, at);
        const QRect box = picker.InfoBoxGeometry();
        EXPECT_TRUE(Screen.contains(box));
        EXPECT_FALSE(box.contains(at));
    }
}

TEST_P(ScreenPickerTest, PaintsTheGrabAndMagnifiesTheAimedPixelAtTheEdges)
{
    picker.Start();
    for (const QPoint at : Corners) {
        SCOPED_TRACE(::testing::PrintToString(at));
        MoveTo(picker, at);
        const QImage shot = picker.grab().toImage();
        const QRect box = picker.InfoBoxGeometry();
        // Outside the box, the grab: under the pointer, one of the grabbed pixels it covers.
        const QRect covered(at * Ratio(), QSize(Ratio(), Ratio()));
        bool grabbedUnder = false;
        for (int y = covered.top(); y <= covered.bottom(); ++y)
            for (int x = covered.left(); x <= covered.right(); ++x)
                grabbedUnder |= (Pattern(QPoint(x, y)) & RGB_MASK) == (shot.pixel(at) & RGB_MASK);
        EXPECT_TRUE(grabbedUnder);
        const auto shown = [&](QPoint pixel) {
            int count = 0;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    count += (shot.pixel(x, y) & RGB_MASK) == (Pattern(pixel) & RGB_MASK);
            return count;
        };
        // The aimed pixel's cell inside its outline, and each neighbour inside the grab: a cell less
        // the side the outline covers.
        constexpr int Zoom = CScreenPicker::MagnifiedZoom;
        EXPECT_GE(shown(picker.AimedPixel()), (Zoom - 2) * (Zoom - 2));
        const QRect grabbed(QPoint(0, 0), Screen.size() * Ratio());
        for (const QPoint step : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
            if (grabbed.contains(picker.AimedPixel() + step)) {
                EXPECT_GE(shown(picker.AimedPixel() + step), Zoom * (Zoom - 1));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, ScreenPickerTest, ::testing::Values(1, 2), [](const ::testing::TestParamInfo<int>& info) {
    return "Ratio" + std::to_string(info.param);
});

TEST(ScreenPickerOnePictureTest, ValuesReadRedGreenBlueInThatOrder)
{
    QImage grab(Screen.size(), QImage::Format_RGB32);
    grab.fill(qRgb(0x99, 0x66, 0x33));
    CScreenPicker picker(grab, Screen);
    picker.Start();
    MoveTo(picker, QPoint(10, 10));
    EXPECT_EQ(picker.InfoLines(), QStringList({QStringLiteral("R: 153  G: 102  B: 51"), QStringLiteral("#996633")}));
    Click(picker, QPoint(10, 10));
    EXPECT_EQ(picker.Picked(), 0x00336699u);
}

TEST(ScreenPickerOnePictureTest, InfoBoxOnAScreenSmallerThanItSitsAtTheCorner)
{
    CScreenPicker picker(PatternGrab(QSize(100, 80), 1), QRect(0, 0, 100, 80));
    picker.Start();
    MoveTo(picker, QPoint(99, 79));
    EXPECT_EQ(picker.InfoBoxGeometry().topLeft(), QPoint(0, 0));
    picker.grab();
}

TEST(ScreenPickerOnePictureTest, WithoutAGrabAnswersNothingAtOnce)
{
    CScreenPicker picker(QImage(), Screen);
    EXPECT_EQ(picker.Run(), std::nullopt);
    EXPECT_FALSE(picker.isVisible());
}

} // namespace
