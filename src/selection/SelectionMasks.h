#pragma once

#include "selection/CSelection.h"

#include <QImage>
#include <QRect>

// The pair of masks rendered from a selection: `insideBlack` has the selected pixels black and the
// others white, `insideWhite` the reverse. Either mask may cover the whole image or just a region of
// it; a region gives exactly the pixels a whole-image rendering has there.
//
// Pixel rules: Rectangle selects min(x0,x1) <= x < max(x0,x1), likewise for y; Ellipse selects the
// ellipse inscribed in that half-open rectangle; Polygon and Freeform select the even-odd interior
// plus a one-pixel outline along every edge, the closing edge included. Points may lie outside the
// image; the masks are simply clipped. An unknown kind selects nothing.
class SelectionMasks
{
public:
    QImage insideBlack;
    QImage insideWhite;

    // Draws both masks for `region` of the image plane into the two images, which must be
    // Format_RGB32 images of region.size(). Kind None selects every pixel.
    static void Draw(const CSelection& selection, const QRect& region, QImage& insideBlack, QImage& insideWhite);

    // The selected pixels of `region` as a Format_Grayscale8 image of region.size(): 255 where
    // selected, 0 elsewhere. A null image when memory is exhausted.
    static QImage Coverage(const CSelection& selection, const QRect& region);
};
