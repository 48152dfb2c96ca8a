#pragma once

#include "document/CImageDoc.h"
#include "selection/SelectionKind.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPoint>

// The scrolling canvas: shows the document's current state at 1:1 with the selection's dotted
// outline (or the rubber band of a gesture in progress) and turns mouse input into selections
// with the chosen tool. It owns the document.
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
    // The scrolled size in image pixels (0 × 0 while no image is open). A page is a tenth of the
    // size and a line a tenth of a page.
    void SetScrollSizes(QSize total);
    QSize GetScrollSizes() const { return scrollSize; }
    // The image position of the viewport's top-left pixel.
    QPoint ScrollPosition() const;

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

private:
    // Image position of a mouse event, and whether it counts as inside the image: P.x <= W and
    // P.y <= H, and over the viewport (a grabbed pointer reports positions beyond it).
    QPoint ImagePoint(const QMouseEvent* event) const;
    bool IsInside(const QMouseEvent* event) const;
    void Commit(const QList<QPoint>& points);
    void Reset() { SetTool(tool); }
    void ClosePolygon();

    void PressShape(QPoint p, bool inside);
    void ReleaseShape(QPoint p, bool inside);
    void PressPolygon(QPoint p, bool inside);
    void PressFreeform(QPoint p, bool inside);
    void ReleaseFreeform(QPoint p, bool inside);

    void UpdateScrollBars();
    // Draws the visible part of the canvas, `size` pixels whose top-left is ScrollPosition().
    void Compose(QPainter& painter, QSize size);
    // The rubber band while drawing, else the committed selection's outline; image coordinates.
    void DrawOutline(QPainter& painter, const QRect& visible) const;

    bool drawing = false;
    SelectionKind tool = SelectionKind::None;
    QList<QPoint> track;
    QPoint anchor;
    QPoint current;
    QSize scrollSize;
};
