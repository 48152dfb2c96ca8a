#include "desktop/PickColor.h"

#include "FakePortal.h"
#include "PrivateBus.h"
#include "desktop/CScreenPicker.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr std::uint32_t PortalColor = 0x00336699; // the fake's 0.6, 0.4, 0.2

// The screen picker that is waiting for the user, if any.
CScreenPicker* OpenScreenPicker()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* picker = qobject_cast<CScreenPicker*>(window);
        if (picker && picker->isVisible() && !picker->IsFinished())
            return picker;
    }
    return nullptr;
}

// Answers PickColor()'s screen picker with `answer` as soon as it opens.
class ScreenPickerUser
{
public:
    explicit ScreenPickerUser(std::function<void(CScreenPicker&)> reply) : answer(std::move(reply))
    {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (CScreenPicker* picker = OpenScreenPicker()) {
                poll.stop();
                this->answer(*picker);
            }
        });
        poll.start(5);
    }

private:
    std::function<void(CScreenPicker&)> answer;
    QTimer poll;
};

// The session bus is the process's own: this test has it only when nothing opened it before.
TEST(PickColorTest, PortalFirstOurPickerWhenItIsUnusableAndACancelAnswersNothing)
{
    if (!PrivateBus::DaemonInstalled())
        GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus): no session bus for the fake portal";
    PrivateBus bus;
    ASSERT_TRUE(bus.IsRunning()) << "dbus-daemon did not start";
    const bool hadSessionBus = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray sessionAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().toUtf8());
    QDBusConnection portalBus = bus.Connect(QStringLiteral("portal"));
    FakePortal portal(portalBus);
    ASSERT_TRUE(portal.Register());
    const QString probe = QStringLiteral("org.quorvel.PickColorTest%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(portalBus.registerService(probe));
    const bool ours = QDBusConnection::sessionBus().isConnected() &&
                      QDBusConnection::sessionBus().interface()->isServiceRegistered(probe);
    if (hadSessionBus)
        qputenv("DBUS_SESSION_BUS_ADDRESS", sessionAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!ours)
        GTEST_SKIP() << "the session bus was opened before this test, elsewhere";

    // Ends a pick that waits on after ten seconds, failing the test: the portal leaves, and an open
    // screen picker closes.
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&portal] {
        ADD_FAILURE() << "a pick did not end";
        portal.Vanish();
        if (CScreenPicker* picker = OpenScreenPicker())
            picker->close();
    });
    watchdog.start(10000);

    portal.response = 1;
    EXPECT_EQ(PickColor(), std::nullopt) << "cancelled before any pick";
    portal.response = 0;
    EXPECT_EQ(PickColor(), PortalColor);
    portal.response = 1;
    EXPECT_EQ(PickColor(), std::nullopt) << "a cancel answers no colour, not the last one";

    // Without the portal our own picker opens over the screen; its Esc answers nothing too, and so
    // does a second pick asked for while it is open.
    portal.Vanish();
    {
        ScreenPickerUser user([](CScreenPicker& picker) {
            EXPECT_EQ(PickColor(), std::nullopt);
            QTest::keyClick(&picker, Qt::Key_Escape);
        });
        EXPECT_EQ(PickColor(), std::nullopt);
    }
    std::optional<std::uint32_t> shown;
    ScreenPickerUser user([&shown](CScreenPicker& picker) {
        shown = picker.ColorAt(QPointF(3, 3));
        QTest::mouseClick(&picker, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    });
    const std::optional<std::uint32_t> picked = PickColor();
    ASSERT_TRUE(shown.has_value()) << "the screen picker did not open";
    EXPECT_EQ(picked, shown);
}

} // namespace
