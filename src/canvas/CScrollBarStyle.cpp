#include "canvas/CScrollBarStyle.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSemaphore>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QThreadPool>

#include <algorithm>

CScrollBarStyle::CScrollBarStyle(QStyle* base) : QProxyStyle(base) {}

CScrollBarStyle* CScrollBarStyle::Instance()
{
    static QPointer<CScrollBarStyle> instance;
    if (!instance) {
        // A style of its own, of the application's kind: the proxy owns its base. Owned by the
        // application, so it outlives every widget using it.
        instance = new CScrollBarStyle(QStyleFactory::create(QApplication::style()->name()));
        instance->setParent(qApp);
    }
    return instance;
}

void CScrollBarStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QScrollBar*>(widget))
        widget->setAttribute(Qt::WA_OpaquePaintEvent);
}

void CScrollBarStyle::unpolish(QWidget* widget)
{
    if (qobject_cast<QScrollBar*>(widget))
        widget->setAttribute(Qt::WA_OpaquePaintEvent, false);
    QProxyStyle::unpolish(widget);
}

void CScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                         const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar || option->rect.isEmpty()) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    QStyleOptionSlider local = *bar;
    local.rect.moveTo(0, 0);
    // The base style animates transient bars through the style object: nothing of that off this
    // thread, nor the widget, which belongs to this one.
    local.styleObject = nullptr;
    const qreal ratio = painter->device()->devicePixelRatioF();
    QImage image((QSizeF(local.rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    QSemaphore done;
    const auto draw = [&] {
        image.setDevicePixelRatio(ratio);
        QPainter onImage(&image);
        onImage.setCompositionMode(QPainter::CompositionMode_Source);
        onImage.fillRect(local.rect, local.palette.window());
        onImage.setCompositionMode(QPainter::CompositionMode_SourceOver);
        baseStyle()->drawComplexControl(control, &local, &onImage, nullptr);
        onImage.end();
        done.release();
    };
    // While this thread waits, nothing else touches the style, the option or the image.
    if (image.isNull() || !QThreadPool::globalInstance()->tryStart(draw)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    done.acquire();
    // Qt hands a copy of more rows than a strip's to its pool as well.
    constexpr int StripRows = 48;
    for (int top = 0; top < image.height(); top += StripRows) {
        const QRect strip(0, top, image.width(), std::min(StripRows, image.height() - top));
        painter->drawImage(QRectF(option->rect.topLeft() + QPointF(0, top / ratio), QSizeF(strip.size()) / ratio),
                           image, strip);
    }
}
