#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <optional>

class QScreen;

// Our own screen colour picker, for sessions whose desktop portal cannot pick: a frameless window
// over the screen under the mouse pointer, showing a grab of it taken before the window appears.
// A box beside the pointer magnifies the pixels around it and gives the colour's values. A left
// click picks the grabbed pixel under the pointer, Enter the one aimed at, Esc cancels; the arrow
// keys move the aim by one grabbed pixel.
class CScreenPicker : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MagnifiedSpan = 11; // grabbed pixels across the magnifier; odd, for one centre
    static constexpr int MagnifiedZoom = 10; // magnifier pixels per grabbed pixel

    // Grabs the screen under the mouse pointer.
    CScreenPicker();
    // Over `grab` of a screen at `screenGeometry` (logical pixels). The grab may hold more pixels
    // than the geometry, as one of a screen with a device pixel ratio above 1 does.
    CScreenPicker(const QImage& grab, const QRect& screenGeometry);

    // Shows the picker and waits in a local event loop for the user; answers the colour as
    // 0x00BBGGRR, nothing when cancelled or when no grab could be taken.
    std::optional<std::uint32_t> Run();
    // Shows the picker without waiting; Finished() is emitted once the user has picked or cancelled.
    void Start();
    bool IsFinished() const { return finished; }
    std::optional<std::uint32_t> Picked() const { return picked; }

    // The grabbed colour under `point` (widget coordinates, clamped to the screen), 0x00BBGGRR.
    std::uint32_t ColorAt(QPointF point) const;
    // The grabbed pixel aimed at, in the grab's own pixels.
    QPoint AimedPixel() const { return aimedPixel; }
    // Where the magnifier and values box is drawn, in widget coordinates.
    QRect InfoBoxGeometry() const;
    // The box's two lines of values for the aimed colour: "R: r  G: g  B: b" and "#RRGGBB".
    QStringList InfoLines() const;

Q_SIGNALS:
    void Finished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    explicit CScreenPicker(QScreen* screen);

    // The grabbed pixel under `point` (widget coordinates), clamped to the grabbed.
    QPoint GrabPixel(QPointF point) const;
    std::uint32_t PixelColor(QPoint pixel) const;
    void AimAt(QPointF point);
    void Nudge(QPoint step);
    void Finish(std::optional<std::uint32_t> color);
    void PaintInfoBox(QPainter& painter, const QRect& box) const;

    QImage grabbed;   // the screen as grabbed, RGB32
    QRect screenArea; // logical pixels
    QSizeF grabScale; // grabbed pixels per logical pixel, across and down
    QSize boxSize;
    bool fullScreen = false;

    QPointF pointer; // widget coordinates; where the box goes
    QPoint aimedPixel;
    std::optional<std::uint32_t> pressedColor; // a left press waiting for its release
    std::optional<std::uint32_t> picked;
    bool finished = false;
};
