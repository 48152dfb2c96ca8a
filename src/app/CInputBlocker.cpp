#include "app/CInputBlocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

bool IsUserInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        // The close box and Alt+F4; the program's own close() calls are not spontaneous.
        return event.spontaneous();
    default:
        return false;
    }
}

} // namespace

CInputBlocker::CInputBlocker()
{
    QCoreApplication::instance()->installEventFilter(this);
    ++active;
}

CInputBlocker::~CInputBlocker()
{
    --active;
    QCoreApplication::instance()->removeEventFilter(this);
}

bool CInputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!IsUserInput(*event))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Close)
        event->ignore(); // tells the window system that the window stays
    return true;
}
