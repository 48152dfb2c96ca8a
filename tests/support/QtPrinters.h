#pragma once

#include "selection/SelectionKind.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <algorithm>
#include <ostream>

// How the tests print Qt's geometry and the selection kinds in failures and in test names; one
// printer per type for every test file.
inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}

inline void PrintTo(const QSize& size, std::ostream* os)
{
    *os << size.width() << 'x' << size.height();
}

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ' ' << r.width() << 'x' << r.height() << ')';
}

inline void PrintTo(SelectionKind kind, std::ostream* os)
{
    static const char* const names[] = {"None", "Rectangle", "Ellipse", "Polygon", "Freeform"};
    const int k = int(kind);
    if (k >= 0 && k < 5)
        *os << names[k];
    else
        *os << "Kind" << k;
}

// Size, format and the first pixels, enough to tell two pictures apart at a glance.
inline void PrintTo(const QImage& image, std::ostream* os)
{
    *os << "QImage(" << image.width() << 'x' << image.height() << " format " << int(image.format());
    for (int x = 0; x < std::min(image.width(), 3) && image.height() > 0; ++x)
        *os << (x == 0 ? ", top row " : " ") << std::hex << image.pixel(x, 0) << std::dec;
    if (image.height() > 1)
        *os << ", bottom row " << std::hex << image.pixel(0, image.height() - 1) << std::dec;
    *os << ')';
}
