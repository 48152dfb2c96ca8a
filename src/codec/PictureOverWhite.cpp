#include "codec/PictureOverWhite.h"

#include <QPainter>

QImage OntoWhite(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage out(picture.size(), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    out.fill(Qt::white);
    {
        QPainter painter(&out);
        painter.drawImage(0, 0, picture);
    }
    return out;
}
