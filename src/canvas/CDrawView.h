#pragma once

#include "canvas/CCanvasRenderer.h"
#include "canvas/CViewGeometry.h"
#include "document/CImageDoc.h"
#include "selection/SelectionKind.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPoint>

// The scrolling canvas: shows the document's current state at a zoom with the selection's dotted
// outline (or the rubber band of a gesture in progress) and turns mouse input into selections
// with the chosen tool. It owns the document.
//
// Everything it keeps is in image pixels; only drawing and the mouse go through the zoom, in device
// pixels, so that at 100 % an image pixel is a device pixel on a scaled desktop too.
class CDrawView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CDrawView(QWidget* parent = nullptr);
    ~CDrawView() override;

    // Repaints the visible part of the canvas; called after every change of the picture.
    void Redraw();
    // Abandons any gesture in progress and chooses the tool; the committed selection stays.
    void SetTool(SelectionKind kind);
    SelectionKind GetTool() const { return tool; }
    // The scrolled size in image pixels (0 × 0 while no image is open), shown at 100 %.
    // The scroll bars cover the zoomed size in device pixels: a page is a tenth of it and a line a
    // tenth of a page.
    void SetScrollSizes(QSize total);
    QSize GetScrollSizes() const { return scrollSize; }
    // The content position (device pixels, see CViewGeometry) of the viewport's top-left pixel:
    // the image position at 100 % on an unscaled desktop.
    QPoint ScrollPosition() const;

    // Zoom. The steps keep the viewport's centre in place; ZoomAt keeps the point `fixedPoint` of the
    // viewport (its own coordinates). Nothing happens while no image is open.
    CViewGeometry::Zoom GetZoom() const { return zoom; }
    CViewGeometry Geometry() const;
    void ZoomAt(CViewGeometry::Zoom next, QPointF fixedPoint);
    void ZoomIn();
    void ZoomOut();
    void ShowActualSize();
    // The zoom that shows the whole picture without scroll bars.
    void FitToWindow();

    CImageDoc doc;

    // Gesture state, readable for tests and for the effect dialogs' previews.
    bool IsDrawing() const { return drawing; }
    const QList<QPoint>& Track() const { return track; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Content position of a mouse event (device pixels), its image position, and whether it counts
    // as inside the image: P.x <= W and P.y <= H, and over the viewport (a grabbed pointer reports
    // positions beyond it).
    QPoint ContentPoint(const QMouseEvent* event) const;
    QPoint ImagePoint(const QMouseEvent* event) const;
    bool IsInside(const QMouseEvent* event) const;
    void Commit(const QList<QPoint>& points);
    void Reset() { SetTool(tool); }
    void ClosePolygon();

    void PressShape(QPoint p, bool inside);
    void ReleaseShape(QPoint p, bool inside);
    void PressPolygon(QPoint p, QPoint content, bool inside);
    void PressFreeform(QPoint p, bool inside);
    void ReleaseFreeform(QPoint p, bool inside);

    void UpdateScrollBars();
    qreal Ratio() const { return viewport()->devicePixelRatioF(); }
    // The viewport in device pixels.
    QSize DeviceSize() const;
    // Draws the visible part of the canvas, `size` device pixels whose top-left is ScrollPosition().
    void Compose(QPainter& painter, QSize size);
    // The rubber band while drawing, else the committed selection's outline; content coordinates.
    void DrawOutline(QPainter& painter, const QRect& visible, const CViewGeometry& geometry) const;

    bool drawing = false;
    SelectionKind tool = SelectionKind::None;
    QList<QPoint> track;
    QPoint anchor;
    QPoint current;
    QSize scrollSize;
    CViewGeometry::Zoom zoom;
    int wheelAngle = 0; // eighths of a degree not yet turned into zoom steps
    CCanvasRenderer renderer;
};
