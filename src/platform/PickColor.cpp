#include "platform/PickColor.h"

#include "platform/CPortalColorPicker.h"
#include "platform/CScreenPicker.h"

#include <QApplication>
#include <QDBusConnection>
#include <QScopeGuard>
#include <QWidget>

#include <optional>

namespace {

// The one colour both effect dialogs fall back on: a cancelled pick must leave the colour a dialog
// shows as it was, and a dialog opened afresh has none of its own to offer, so the last pick of the
// whole run stands in. Black until the first pick.
std::uint32_t lastColor = 0;
// A second click on a dialog's button while a pick is under way (the portal's picker lets our
// windows take input) must not start a second one.
bool picking = false;

// The portal's identifier of the window asking, so its picker can sit above it. Only X11 windows
// have one without further protocol.
QString ParentWindow()
{
    const QWidget* window = QApplication::activeWindow();
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return QStringLiteral("x11:") + QString::number(window->winId(), 16);
}

} // namespace

std::uint32_t PickColor()
{
    if (picking)
        return lastColor;
    picking = true;
    const auto done = qScopeGuard([] { picking = false; });

    CPortalColorPicker portal(QDBusConnection::sessionBus());
    std::optional<std::uint32_t> color = portal.Pick(ParentWindow());
    if (portal.LastOutcome() == CPortalColorPicker::Outcome::Unusable) {
        CScreenPicker picker;
        color = picker.Run();
    }
    if (color)
        lastColor = *color;
    return lastColor;
}
