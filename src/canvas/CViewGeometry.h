#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <span>

// Where the picture lies on the screen at a zoom. Positions on the screen are device pixels of the
// content: the picture's top-left is (0, 0) and the scroll position is already added. Device pixel
// U shows image pixel floor((U + 0.5) / zoom), so at 100 % one image pixel is one device pixel,
// whatever the desktop's scale, and the mouse maps to the pixel that is drawn under it.
//
// The zoom is a fraction, so that 1/3 or 2/3 map exactly: no pixel lands on the wrong side of a
// boundary through rounding.
class CViewGeometry
{
public:
    struct Zoom
    {
        int num = 1;
        int den = 1;
        double Value() const { return double(num) / den; }
        bool operator==(const Zoom& other) const
        {
            return std::int64_t(num) * other.den == std::int64_t(other.num) * den;
        }
        bool operator<(const Zoom& other) const
        {
            return std::int64_t(num) * other.den < std::int64_t(other.num) * den;
        }
    };

    // 1/32 … 1/2, 2/3, 1, 1.5, 2, 3, 4 … 32.
    static std::span<const Zoom> Steps();
    // The nearest step above or below `zoom`, which may lie between steps (after fitting); the
    // first or last step at the ends.
    static Zoom StepIn(Zoom zoom);
    static Zoom StepOut(Zoom zoom);
    // The zoom that shows the whole of `image` in `area` device pixels: the exact ratio when the
    // picture is larger, else the largest whole multiple that fits, so its pixels stay square.
    // Within the first and last steps.
    static Zoom Fit(QSize image, QSize area);

    CViewGeometry(QSize image, Zoom zoom);

    Zoom GetZoom() const { return zoom; }
    // The device pixels that show the picture.
    QSize ContentSize() const { return {ScreenX(image.width()), ScreenY(image.height())}; }
    // The image pixel shown at a content position. The first column and row beyond the picture map
    // to its width and height exactly, so a drag to just past its edge reaches the edge at any zoom.
    QPoint ImagePoint(QPoint content) const;
    // The first content column (row) that shows image column (row) `x` or one beyond it.
    int ScreenX(int x) const { return ScreenOf(x); }
    int ScreenY(int y) const { return ScreenOf(y); }
    // The content pixel at the middle of image pixel `p`: where an outline passes through a vertex.
    QPoint ScreenCentre(QPoint p) const;
    // The content pixels showing the half-open image rectangle `area`.
    QRect ScreenRect(const QRect& area) const;
    // The image pixels shown in the content rectangle `screen`, clipped to the picture.
    QRect ImageRect(const QRect& screen) const;
    // The content position that keeps image position `imagePoint` (fractional) under a point
    // `fromCorner` device pixels from the viewport's corner.
    static QPoint ScrollKeeping(QPointF imagePoint, QPointF fromCorner, Zoom zoom);
    // The image position (fractional) under a content position.
    QPointF ImagePosition(QPointF content) const;

private:
    int Shown(int u) const;
    int ScreenOf(int x) const;

    QSize image;
    Zoom zoom;
};
