#pragma once

#include "canvas/CViewGeometry.h"
#include "tiles/CReducedCopies.h"
#include "tiles/ImageState.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <optional>
#include <vector>

// Draws a state at a zoom, reading only what shows. Above 100 % each image pixel becomes a square
// of device pixels (nearest neighbour, so a user can aim at one). Below, the picture comes from
// the reduced copy of the halving nearest the zoom: its pixels are means of the picture's, so the
// reduction does not drop detail the way sampling the picture would, and it is sampled on a grid
// fixed to the picture, so scrolling does not make it shimmer.
// At 100 % and at exact halvings the pixels are copied as they are.
//
// The reduced copies are kept per block and shared between states, so after an effect only the
// blocks it changed are reduced again.
class CCanvasRenderer
{
public:
    // Draws the content rectangle `view` (device pixels, see CViewGeometry) of `state` with its
    // top-left at the painter's (0, 0); the painter works in device pixels. Only the part that
    // shows the picture is drawn. False when memory for a reduced copy is exhausted (nothing is
    // drawn then).
    bool Draw(QPainter& painter, const ImageState& state, const CViewGeometry& geometry, const QRect& view);
    // Lets go of every reduced copy and the frame buffer.
    void Clear();

    // The halving the renderer reads at `zoom`: 0 for the picture itself.
    static int LevelFor(CViewGeometry::Zoom zoom);

private:
    // One block of the level being drawn: its pixels and the distance between its rows.
    struct Cell
    {
        const std::uint32_t* pixels = nullptr;
        int stride = 0; // in pixels
    };
    struct Source;

    bool DrawLevel(QPainter& painter, const ImageState& state, const CViewGeometry& geometry, const QRect& shown,
                   QPoint offset, int level);
    bool Gather(Source& source, const ImageState& state, const QRect& levelArea);
    void Copy(QPainter& painter, const Source& source, const QRect& shown, QPoint offset);
    void Fill(const Source& source, const CViewGeometry& geometry, const QRect& shown);

    // What the frame buffer holds, so that a repaint of the same (the rubber band moving, a window
    // passing over) only copies it again.
    struct FrameKey
    {
        std::uint64_t serial;
        CViewGeometry::Zoom zoom;
        QRect shown;
        int level;
        bool operator==(const FrameKey&) const = default;
    };

    CReducedCopies reductions;
    std::optional<FrameKey> framed;
    std::vector<QImage> held; // keeps the blocks of one frame alive while it is drawn
    QImage frame;
};
