#pragma once

#include "selection/SelectionKind.h"

#include <QList>
#include <QPoint>

// The committed selection in image pixel coordinates.
class CSelection
{
public:
    // Inclusive extremes of the points (right and bottom are the largest coordinates themselves).
    // For kind None all zero until the masks are built, which sets (0, 0, width, height).
    struct Bounds
    {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;
        bool operator==(const Bounds&) const = default;
    };

    Bounds bounds;
    SelectionKind kind = SelectionKind::None;
    QList<QPoint> points;

    void Clear();
    void AddPoint(QPoint p);
};
