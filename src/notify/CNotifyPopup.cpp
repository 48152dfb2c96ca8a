#include "notify/CNotifyPopup.h"

#include "widgets/DialogUnits.h"
#include "widgets/Pictures.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>

#include <utility>

namespace {

constexpr int SlidePeriod = 10;  // ms per pixel of the slide
constexpr int HoldPeriod = 1000; // ms per countdown step
constexpr int HoldCountdown = 3; // steps before the tick that closes the popup

} // namespace

CNotifyPopup::CNotifyPopup(QWidget* ownerWindow)
    : QWidget(ownerWindow,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint),
      owner(ownerWindow)
{
    if (owner)
        owner->installEventFilter(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("notifyPopup"));
    setFont(DialogUnits::DialogFont());
    resize(DialogUnits::ToPixels(QSize(251, 50), font()));

    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("label1013"));
    messageLabel->setGeometry(DialogUnits::ToPixels(QRect(48, 16, 200, 28), font()));
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);

    successSymbol = AddSymbol("notice-success", QSize(63, 59), "picture1010");
    failureSymbol = AddSymbol("notice-failure", QSize(60, 62), "picture1011");
    warningSymbol = AddSymbol("notice-warning", QSize(64, 62), "picture1012");
}

QLabel* CNotifyPopup::AddSymbol(const char* picture, QSize size, const char* name)
{
    auto* symbol = new QLabel(this);
    symbol->setObjectName(QLatin1String(name));
    symbol->setGeometry(QRect(DialogUnits::ToPixels(QRect(4, 4, 0, 0), font()).topLeft(), size));
    symbol->setPixmap(QPixmap::fromImage(Pictures::Render(QLatin1String(picture), size)));
    symbol->hide();
    return symbol;
}

void CNotifyPopup::ShowMessage(NoticeKind kind, const QString& text)
{
    ShowMessage(static_cast<int>(kind), text);
}

void CNotifyPopup::ShowMessage(int kind, const QString& text)
{
    ShowSymbol(kind);
    messageText = text;
    messageLabel->setText(messageText);

    // Starts behind the taskbar (or at the work area's bottom edge), flush with the screen's right edge.
    const ScreenAreas areas = PlacementAreas();
    const QSize size = frameGeometry().size();
    move(areas.screen.x() + areas.screen.width() - size.width(), TaskbarTop());
    // Shown without activation; where the platform activates it all the same, changeEvent hands
    // the activation straight back to the owner. Before the owner is on screen, it waits for it:
    // mapped first, the popup would end up beneath the owner.
    awaitingOwner = owner && !owner->isVisible();
    if (!awaitingOwner)
        Present();

    // Restarts the slide; a running hold timer is left alone and counts the fresh countdown down.
    slideTimer.start(SlidePeriod, Qt::PreciseTimer, this);
    countdown = HoldCountdown;
}

void CNotifyPopup::Present()
{
    awaitingOwner = false;
    show();
    raise();
}

bool CNotifyPopup::eventFilter(QObject* watched, QEvent* event)
{
    // Queued, so that the owner's own mapping is under way before the popup's.
    if (watched == owner && event->type() == QEvent::Show && awaitingOwner)
        QTimer::singleShot(0, this, [this] {
            if (awaitingOwner)
                Present();
        });
    return QWidget::eventFilter(watched, event);
}

void CNotifyPopup::ShowSymbol(int kind)
{
    if (kind < static_cast<int>(NoticeKind::Success) || kind > static_cast<int>(NoticeKind::Warning))
        return;
    successSymbol->setVisible(kind == static_cast<int>(NoticeKind::Success));
    failureSymbol->setVisible(kind == static_cast<int>(NoticeKind::Failure));
    warningSymbol->setVisible(kind == static_cast<int>(NoticeKind::Warning));
}

int CNotifyPopup::VisibleSymbol() const
{
    if (!successSymbol->isHidden())
        return static_cast<int>(NoticeKind::Success);
    if (!failureSymbol->isHidden())
        return static_cast<int>(NoticeKind::Failure);
    if (!warningSymbol->isHidden())
        return static_cast<int>(NoticeKind::Warning);
    return -1;
}

void CNotifyPopup::SetScreenSource(std::function<ScreenAreas()> source)
{
    screenSource = std::move(source);
}

CNotifyPopup::ScreenAreas CNotifyPopup::PlacementAreas() const
{
    if (screenSource)
        return screenSource();
    const QScreen* screen = owner ? owner->screen() : nullptr;
    if (!screen)
        screen = QApplication::primaryScreen();
    if (!screen)
        return {};
    return {screen->geometry(), screen->availableGeometry()};
}

int CNotifyPopup::TaskbarTop() const
{
    // A panel at the bottom reserves the space below the work area; panels at the other edges
    // leave the work area's bottom at the screen's bottom, where the popup then rises from.
    const ScreenAreas areas = PlacementAreas();
    return areas.available.y() + areas.available.height();
}

void CNotifyPopup::SlideTick()
{
    const QRect frame = frameGeometry();
    if (frame.y() > TaskbarTop() - frame.height()) {
        move(frame.x(), frame.y() - 1);
        return;
    }
    slideTimer.stop();
    holdTimer.start(HoldPeriod, this);
}

void CNotifyPopup::HoldTick()
{
    if (countdown > 0) {
        --countdown;
        return;
    }
    holdTimer.stop();
    awaitingOwner = false;
    close();
}

void CNotifyPopup::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == slideTimer.timerId())
        SlideTick();
    else if (event->timerId() == holdTimer.timerId())
        HoldTick();
    else
        QWidget::timerEvent(event);
}

void CNotifyPopup::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        close();
    else
        QWidget::mouseDoubleClickEvent(event);
}

void CNotifyPopup::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // A running modal dialog keeps the activation; otherwise the owner's window gets it back, and
    // with it its focus widget.
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !owner)
        return;
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->activateWindow();
    else
        owner->window()->activateWindow();
}

void CNotifyPopup::paintEvent(QPaintEvent* /*event*/)
{
    // White ground, so the labels and the symbols' white grounds blend in; a thin border around it.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
