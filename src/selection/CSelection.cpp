#include "selection/CSelection.h"

#include <algorithm>

void CSelection::Clear()
{
    bounds = {};
    kind = SelectionKind::None;
    points.clear();
}

void CSelection::AddPoint(QPoint p)
{
    if (points.isEmpty()) {
        bounds = {p.x(), p.y(), p.x(), p.y()};
    } else {
        bounds.right = std::max(bounds.right, p.x());
        bounds.left = std::min(bounds.left, p.x());
        bounds.bottom = std::max(bounds.bottom, p.y());
        bounds.top = std::min(bounds.top, p.y());
    }
    points.append(p);
}
