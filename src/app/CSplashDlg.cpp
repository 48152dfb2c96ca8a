#include "app/CSplashDlg.h"

#include "widgets/Pictures.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimerEvent>

namespace {
constexpr QSize PictureSize(438, 150);
} // namespace

CSplashDlg::CSplashDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setFixedSize(PictureSize); // the picture is the whole window, without margins
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture159"));
    picture->setPixmap(QPixmap::fromImage(Pictures::Render(QStringLiteral("splash"), PictureSize)));
    picture->setGeometry(QRect(QPoint(0, 0), PictureSize));
}

void CSplashDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!timer.isActive() && countdown > 0)
        timer.start(1000 /*ms*/, this);
}

void CSplashDlg::Tick()
{
    --countdown;
    if (countdown <= 0)
        Finish();
}

void CSplashDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer.timerId())
        Tick();
    else
        QDialog::timerEvent(event);
}

void CSplashDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Finish();
    else
        QDialog::mouseDoubleClickEvent(event);
}

void CSplashDlg::reject()
{
    Finish();
}

void CSplashDlg::Finish()
{
    timer.stop();
    done(0);
}
