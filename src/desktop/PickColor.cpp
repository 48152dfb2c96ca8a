#include "desktop/PickColor.h"

#include "desktop/CPortalColorPicker.h"
#include "desktop/CScreenPicker.h"

#include <QApplication>
#include <QDBusConnection>
#include <QScopeGuard>
#include <QWidget>

#include <optional>

namespace {

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

std::optional<std::uint32_t> PickColor()
{
    if (picking)
        return std::nullopt;
    picking = true;
    const auto done = qScopeGuard([] { picking = false; });

    CPortalColorPicker portal(QDBusConnection::sessionBus());
    std::optional<std::uint32_t> color = portal.Pick(ParentWindow());
    if (portal.LastOutcome() == CPortalColorPicker::Outcome::Unusable) {
        CScreenPicker picker;
        color = picker.Run();
    }
    return color;
}
