#include "widgets/DialogUnits.h"

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace DialogUnits {

namespace {

// The average width of the Latin letters, as dialog units measure it, rounded to whole pixels.
int BaseWidth(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
}

int BaseHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

} // namespace

QFont DialogFont()
{
    QFont font(QStringLiteral("SimSun"));
    font.setFamilies(
        {QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(9);
    return font;
}

int ToPixelsX(int units, const QFont& font)
{
    return units * BaseWidth(font) / 4;
}

int ToPixelsY(int units, const QFont& font)
{
    return units * BaseHeight(font) / 8;
}

QSize ToPixels(QSize units, const QFont& font)
{
    return {ToPixelsX(units.width(), font), ToPixelsY(units.height(), font)};
}

QRect ToPixels(QRect units, const QFont& font)
{
    return {ToPixelsX(units.x(), font), ToPixelsY(units.y(), font), ToPixelsX(units.width(), font),
            ToPixelsY(units.height(), font)};
}

} // namespace DialogUnits
