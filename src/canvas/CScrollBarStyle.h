#pragma once

#include <QProxyStyle>

// The application's style for scroll bars, drawn alike in a fraction of the time.
//
// Qt's raster engine hands each translucent line or fill longer than about a hundred pixels to its
// thread pool in slices, unless the painting thread is one of the pool's own. The usual styles draw
// a scroll bar as a few dozen such lines along its length, so on the user-interface thread one bar
// costs dozens of hand-offs between threads, more than the canvas it frames, and every zoom step
// repaints both. This style draws the bar on a pool thread into an image while the calling thread
// waits, one hand-off, and then copies the image in strips too short to be handed off. The image
// starts from the window's background, so the bar covers itself and Qt paints nothing beneath it.
class CScrollBarStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // One instance for the application, made from its style on first use.
    static CScrollBarStyle* Instance();

    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

private:
    explicit CScrollBarStyle(QStyle* base);
};
