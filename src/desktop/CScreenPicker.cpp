#include "desktop/CScreenPicker.h"

#include "effects/ColorRef.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Lens = CScreenPicker::MagnifiedSpan * CScreenPicker::MagnifiedZoom;
constexpr int LensHalf = CScreenPicker::MagnifiedSpan / 2;
constexpr int BoxMargin = 6;
constexpr int PointerGap = 16; // between the pointer and the box, so the box never hides the aim

QScreen* ScreenUnderPointer()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

QImage GrabOf(QScreen* screen)
{
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

QRect GeometryOf(const QScreen* screen)
{
    return screen ? screen->geometry() : QRect();
}

} // namespace

CScreenPicker::CScreenPicker() : CScreenPicker(ScreenUnderPointer()) {}

CScreenPicker::CScreenPicker(QScreen* screen) : CScreenPicker(GrabOf(screen), GeometryOf(screen))
{
    // Full-screen state rather than a plain geometry, so window managers put it above their panels.
    fullScreen = screen != nullptr;
}

CScreenPicker::CScreenPicker(const QImage& screenGrab, const QRect& screenGeometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      grabbed(screenGrab.convertToFormat(QImage::Format_RGB32)), screenArea(screenGeometry)
{
    setObjectName(QStringLiteral("screenPicker"));
    setWindowTitle(QStringLiteral("颜色拾取"));
    // The dialog that asked for the pick must not take clicks or keys meanwhile.
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(screenArea);

    // From the sizes, not the grab's device pixel ratio: platforms differ in setting the latter.
    if (!grabbed.isNull() && !screenArea.isEmpty())
        grabScale = QSizeF(static_cast<qreal>(grabbed.width()) / screenArea.width(),
                           static_cast<qreal>(grabbed.height()) / screenArea.height());

    const QFontMetrics metrics = fontMetrics();
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("R: 255  G: 255  B: 255"));
    boxSize = QSize(2 * BoxMargin + std::max(Lens, textWidth), 3 * BoxMargin + Lens + 2 * metrics.height());
}

std::optional<std::uint32_t> CScreenPicker::Run()
{
    if (grabbed.isNull())
        return std::nullopt;
    QEventLoop loop;
    connect(this, &CScreenPicker::Finished, &loop, &QEventLoop::quit);
    Start();
    if (!finished)
        loop.exec();
    // Left unfinished only when the application is quitting: that is no pick.
    Finish(std::nullopt);
    return picked;
}

void CScreenPicker::Start()
{
    finished = false;
    picked.reset();
    pressedColor.reset();
    const QPointF cursor = QCursor::pos() - screenArea.topLeft();
    AimAt(rect().contains(cursor.toPoint()) ? cursor : QPointF(rect().center()));
    if (fullScreen)
        showFullScreen();
    else
        show();
    raise();
    activateWindow();
    // Esc must reach the picker even where the window manager does not give it the focus.
    grabKeyboard();
}

std::uint32_t CScreenPicker::ColorAt(QPointF point) const
{
    return PixelColor(GrabPixel(point));
}

QPoint CScreenPicker::GrabPixel(QPointF point) const
{
    if (grabbed.isNull())
        return {};
    const int x = static_cast<int>(std::floor(point.x() * grabScale.width()));
    const int y = static_cast<int>(std::floor(point.y() * grabScale.height()));
    return QPoint(std::clamp(x, 0, grabbed.width() - 1), std::clamp(y, 0, grabbed.height() - 1));
}

std::uint32_t CScreenPicker::PixelColor(QPoint pixel) const
{
    return grabbed.valid(pixel) ? ColorRef::FromRgb(grabbed.pixel(pixel)) : 0;
}

QRect CScreenPicker::InfoBoxGeometry() const
{
    // Below and right of the pointer, flipped to the other side of it where the screen ends, and
    // held inside the screen when the screen is too small for either side.
    const QPoint at = pointer.toPoint();
    int x = at.x() + PointerGap;
    if (x + boxSize.width() > screenArea.width())
        x = at.x() - PointerGap - boxSize.width();
    int y = at.y() + PointerGap;
    if (y + boxSize.height() > screenArea.height())
        y = at.y() - PointerGap - boxSize.height();
    x = std::clamp(x, 0, std::max(0, screenArea.width() - boxSize.width()));
    y = std::clamp(y, 0, std::max(0, screenArea.height() - boxSize.height()));
    return QRect(QPoint(x, y), boxSize);
}

QStringList CScreenPicker::InfoLines() const
{
    const QColor color = ColorRef::ToQColor(PixelColor(aimedPixel));
    const auto hex = [](int channel) { return QStringLiteral("%1").arg(channel, 2, 16, QLatin1Char('0')).toUpper(); };
    return {QStringLiteral("R: %1  G: %2  B: %3").arg(color.red()).arg(color.green()).arg(color.blue()),
            QLatin1Char('#') + hex(color.red()) + hex(color.green()) + hex(color.blue())};
}

void CScreenPicker::AimAt(QPointF point)
{
    const QRect before = InfoBoxGeometry();
    pointer = QPointF(std::clamp<qreal>(point.x(), 0, screenArea.width()),
                      std::clamp<qreal>(point.y(), 0, screenArea.height()));
    aimedPixel = GrabPixel(pointer);
    update(before);
    update(InfoBoxGeometry());
}

void CScreenPicker::Nudge(QPoint step)
{
    if (grabbed.isNull())
        return;
    const QPoint pixel(std::clamp(aimedPixel.x() + step.x(), 0, grabbed.width() - 1),
                       std::clamp(aimedPixel.y() + step.y(), 0, grabbed.height() - 1));
    // The pixel's centre, so mapping back lands on the same pixel whatever the scale.
    AimAt(QPointF((pixel.x() + 0.5) / grabScale.width(), (pixel.y() + 0.5) / grabScale.height()));
}

void CScreenPicker::Finish(std::optional<std::uint32_t> color)
{
    if (finished)
        return;
    finished = true;
    picked = color;
    releaseKeyboard();
    hide();
    Q_EMIT Finished();
}

void CScreenPicker::mouseMoveEvent(QMouseEvent* event)
{
    AimAt(event->position());
}

void CScreenPicker::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    AimAt(event->position());
    pressedColor = PixelColor(aimedPixel);
}

void CScreenPicker::mouseReleaseEvent(QMouseEvent* event)
{
    // Finished on the release rather than the press, so the release does not land on the window
    // below once the picker has gone.
    if (event->button() == Qt::LeftButton && pressedColor)
        Finish(pressedColor);
}

void CScreenPicker::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        Finish(std::nullopt);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Finish(PixelColor(aimedPixel));
        break;
    case Qt::Key_Left:
        Nudge(QPoint(-1, 0));
        break;
    case Qt::Key_Right:
        Nudge(QPoint(1, 0));
        break;
    case Qt::Key_Up:
        Nudge(QPoint(0, -1));
        break;
    case Qt::Key_Down:
        Nudge(QPoint(0, 1));
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void CScreenPicker::closeEvent(QCloseEvent* event)
{
    // Closed by the window manager (or the application quitting): nothing picked.
    Finish(std::nullopt);
    event->accept();
}

void CScreenPicker::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    if (grabbed.isNull()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    const QRectF source(area.x() * grabScale.width(), area.y() * grabScale.height(), area.width() * grabScale.width(),
                        area.height() * grabScale.height());
    painter.drawImage(QRectF(area), grabbed, source);
    const QRect box = InfoBoxGeometry();
    if (box.intersects(area))
        PaintInfoBox(painter, box);
}

void CScreenPicker::PaintInfoBox(QPainter& painter, const QRect& box) const
{
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::darkGray);
    painter.drawRect(box.adjusted(0, 0, -1, -1));

    // The magnifier: pixels beyond the grab's edges hatched, so the edge is seen as one.
    const QPoint lensOrigin = box.topLeft() + QPoint(BoxMargin, BoxMargin);
    for (int row = 0; row < MagnifiedSpan; ++row) {
        for (int column = 0; column < MagnifiedSpan; ++column) {
            const QPoint pixel = aimedPixel + QPoint(column - LensHalf, row - LensHalf);
            const QRect cell(lensOrigin + QPoint(column * MagnifiedZoom, row * MagnifiedZoom),
                             QSize(MagnifiedZoom, MagnifiedZoom));
            if (grabbed.valid(pixel))
                painter.fillRect(cell, QColor::fromRgb(grabbed.pixel(pixel)));
            else
                painter.fillRect(cell, QBrush(Qt::gray, Qt::BDiagPattern));
        }
    }
    // The centre pixel outlined black outside and white inside, visible on any colour.
    const QRect centre(lensOrigin + QPoint(LensHalf * MagnifiedZoom, LensHalf * MagnifiedZoom),
                       QSize(MagnifiedZoom, MagnifiedZoom));
    painter.setPen(Qt::black);
    painter.drawRect(centre.adjusted(-1, -1, 0, 0));
    painter.setPen(Qt::white);
    painter.drawRect(centre.adjusted(0, 0, -1, -1));

    const QStringList lines = InfoLines();
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.height();
    QRect line(box.x() + BoxMargin, lensOrigin.y() + Lens + BoxMargin, box.width() - 2 * BoxMargin, lineHeight);
    painter.setPen(Qt::black);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, lines.at(0));
    line.translate(0, lineHeight);
    const QRect swatch(line.topLeft() + QPoint(0, 1), QSize(lineHeight - 2, lineHeight - 2));
    painter.fillRect(swatch, ColorRef::ToQColor(PixelColor(aimedPixel)));
    painter.setPen(Qt::darkGray);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    painter.drawText(line.adjusted(lineHeight + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, lines.at(1));
}
