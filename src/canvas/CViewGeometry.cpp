#include "canvas/CViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr CViewGeometry::Zoom steps[] = {{1, 32}, {1, 24}, {1, 16}, {1, 12}, {1, 8},  {1, 6},  {1, 4},
                                         {1, 3},  {1, 2},  {2, 3},  {1, 1},  {3, 2},  {2, 1},  {3, 1},
                                         {4, 1},  {6, 1},  {8, 1},  {12, 1}, {16, 1}, {24, 1}, {32, 1}};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int Clamp(std::int64_t v)
{
    return int(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30));
}

} // namespace

std::span<const CViewGeometry::Zoom> CViewGeometry::Steps()
{
    return steps;
}

CViewGeometry::Zoom CViewGeometry::StepIn(Zoom z)
{
    for (const Zoom& step : steps) {
        if (z < step)
            return step;
    }
    return steps[std::size(steps) - 1];
}

CViewGeometry::Zoom CViewGeometry::StepOut(Zoom z)
{
    for (auto step = std::rbegin(steps); step != std::rend(steps); ++step) {
        if (*step < z)
            return *step;
    }
    return steps[0];
}

CViewGeometry::Zoom CViewGeometry::Fit(QSize picture, QSize area)
{
    if (picture.isEmpty() || area.isEmpty())
        return {1, 1};
    // The smaller of area.width / picture.width and area.height / picture.height.
    Zoom fit{area.width(), picture.width()};
    const Zoom byHeight{area.height(), picture.height()};
    if (byHeight < fit)
        fit = byHeight;
    if (!(fit < Zoom{1, 1}))
        fit = {int(std::min<std::int64_t>(fit.num / fit.den, 32)), 1};
    return fit < steps[0] ? steps[0] : fit;
}

CViewGeometry::CViewGeometry(QSize picture, Zoom z) : image(picture), zoom(z) {}

// floor((u + 0.5) / zoom), exactly.
int CViewGeometry::Shown(int u) const
{
    return Clamp(FloorDiv((2 * std::int64_t(u) + 1) * zoom.den, 2 * std::int64_t(zoom.num)));
}

// ceil(x * zoom - 0.5): the first u with Shown(u) >= x.
int CViewGeometry::ScreenOf(int x) const
{
    const std::int64_t twice = 2 * std::int64_t(x) * zoom.num - zoom.den;
    return Clamp(-FloorDiv(-twice, 2 * std::int64_t(zoom.den)));
}

QPoint CViewGeometry::ImagePoint(QPoint content) const
{
    const int x = content.x() == ScreenX(image.width()) ? image.width() : Shown(content.x());
    const int y = content.y() == ScreenY(image.height()) ? image.height() : Shown(content.y());
    return {x, y};
}

QPoint CViewGeometry::ScreenCentre(QPoint p) const
{
    // floor((p + 0.5) * zoom)
    const auto centre = [this](int v) {
        return Clamp(FloorDiv((2 * std::int64_t(v) + 1) * zoom.num, 2 * std::int64_t(zoom.den)));
    };
    return {centre(p.x()), centre(p.y())};
}

QRect CViewGeometry::ScreenRect(const QRect& area) const
{
    // At least one screen pixel, so that a selection narrower than a pixel of the screen still shows.
    const QPoint first(ScreenX(area.left()), ScreenY(area.top()));
    const QPoint last(std::max(first.x(), ScreenX(area.left() + area.width()) - 1),
                      std::max(first.y(), ScreenY(area.top() + area.height()) - 1));
    return QRect(first, last);
}

QRect CViewGeometry::ImageRect(const QRect& screen) const
{
    if (screen.isEmpty())
        return {};
    const QPoint first(Shown(screen.left()), Shown(screen.top()));
    const QPoint last(Shown(screen.right()), Shown(screen.bottom()));
    return QRect(first, last).intersected(QRect(QPoint(0, 0), image));
}

QPointF CViewGeometry::ImagePosition(QPointF content) const
{
    return content / zoom.Value();
}

QPoint CViewGeometry::ScrollKeeping(QPointF imagePoint, QPointF fromCorner, Zoom z)
{
    const QPointF content = imagePoint * z.Value() - fromCorner;
    return {int(std::lround(content.x())), int(std::lround(content.y()))};
}
