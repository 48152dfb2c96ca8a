#include "canvas/SelectionMasks.h"

// Placeholder implementation; being written.
void SelectionMasks::Draw(const CSelection&, const QRect&, QImage& insideBlack, QImage& insideWhite)
{
    insideBlack.fill(Qt::black);
    insideWhite.fill(Qt::white);
}

QImage SelectionMasks::Coverage(const CSelection&, const QRect& region)
{
    QImage out(region.size(), QImage::Format_Grayscale8);
    out.fill(255);
    return out;
}
