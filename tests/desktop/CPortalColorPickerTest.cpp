#include "desktop/CPortalColorPicker.h"

#include "FakePortal.h"
#include "PrivateBus.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>

namespace {

using Outcome = CPortalColorPicker::Outcome;

constexpr std::uint32_t PortalColor = 0x00336699; // the fake's 0.6, 0.4, 0.2

TEST(PortalColorPickerChannelTest, RoundsToTheNearestByteAndClampsWhatIsOutOfRange)
{
    EXPECT_EQ(CPortalColorPicker::ChannelByte(0.6), 153);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(0.2), 51);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(0.5), 128);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(0.0), 0);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(1.0), 255);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(-0.3), 0);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(1e300), 255);
    EXPECT_EQ(CPortalColorPicker::ChannelByte(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(PortalColorPickerNoBusTest, IsUnusableWithoutABus)
{
    CPortalColorPicker picker(QDBusConnection(QStringLiteral("no such connection")));
    EXPECT_EQ(picker.Pick(), std::nullopt);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Unusable);
}

// A fake portal and the picker on a private bus.
class PortalColorPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PrivateBus::DaemonInstalled())
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus): no bus for the fake portal";
        ASSERT_TRUE(bus.IsRunning()) << "dbus-daemon did not start";
        ASSERT_TRUE(client.isConnected());
    }

    // A pick still waiting after ten seconds is ended by the portal leaving, and fails the test.
    std::optional<std::uint32_t> Pick(const QString& parentWindow = {})
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            ADD_FAILURE() << "the pick did not end";
            portal.Vanish();
        });
        watchdog.start(10000);
        return picker.Pick(parentWindow);
    }

    PrivateBus bus;
    QDBusConnection client = bus.Connect(QStringLiteral("client"));
    FakePortal portal{bus.Connect(QStringLiteral("portal"))};
    CPortalColorPicker picker{client};
};

TEST_F(PortalColorPickerTest, PicksOnTheRequestItNamedAndPassesItsWindow)
{
    ASSERT_TRUE(portal.Register());
    EXPECT_EQ(Pick(QStringLiteral("x11:2a")), PortalColor);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Picked);
    EXPECT_EQ(portal.pickColorCalls, 1);
    EXPECT_EQ(portal.parentWindow, QStringLiteral("x11:2a"));
    const QString token = portal.options.value(QStringLiteral("handle_token")).toString();
    EXPECT_FALSE(token.isEmpty());

    // A fresh token each time, so an answer to an earlier request cannot pass for this one.
    EXPECT_EQ(Pick(), PortalColor);
    EXPECT_NE(portal.options.value(QStringLiteral("handle_token")).toString(), token);
}

TEST_F(PortalColorPickerTest, TakesAnAnswerSentBeforeTheReplyOrOnAPathOfThePortalsOwn)
{
    ASSERT_TRUE(portal.Register());
    portal.respondBeforeReply = true;
    EXPECT_EQ(Pick(), PortalColor);

    // The answer on a path the picker learns only from the reply may come before it listens
    // there; a portal that repeats it is heard.
    portal.respondBeforeReply = false;
    portal.ownRequestPath = true;
    QTimer repeat;
    QObject::connect(&repeat, &QTimer::timeout, [this] { portal.Send(portal.Response()); });
    portal.instead = [&repeat] { repeat.start(10); };
    EXPECT_EQ(Pick(), PortalColor);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Picked);
}

TEST_F(PortalColorPickerTest, UserCancelIsNoColourAndNotAnUnusablePortal)
{
    ASSERT_TRUE(portal.Register());
    portal.response = 1;
    EXPECT_EQ(Pick(), std::nullopt);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Cancelled);
}

TEST_F(PortalColorPickerTest, IgnoresAResponseFromAnyoneButThePortal)
{
    ASSERT_TRUE(portal.Register());
    QDBusConnection stranger = bus.Connect(QStringLiteral("stranger"));
    portal.instead = [&] {
        stranger.send(portal.Response());
        // Answered only once the bus has passed the forged signal on.
        stranger.interface()->isServiceRegistered(FakePortal::Service);
        portal.Vanish();
    };
    EXPECT_EQ(Pick(), std::nullopt);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Unusable);
}

// Every way the portal can fail us; each must leave the pick to our own picker.
struct UnusablePortal
{
    const char* name;
    std::function<void(FakePortal&)> script;
    bool registered = true;
};

void PrintTo(const UnusablePortal& portal, std::ostream* out)
{
    *out << portal.name;
}

class PortalColorPickerUnusableTest : public PortalColorPickerTest, public ::testing::WithParamInterface<UnusablePortal>
{
};

TEST_P(PortalColorPickerUnusableTest, AnswersNoColourAndUnusable)
{
    GetParam().script(portal);
    if (GetParam().registered) {
        ASSERT_TRUE(portal.Register());
    }
    EXPECT_EQ(Pick(), std::nullopt);
    EXPECT_EQ(picker.LastOutcome(), Outcome::Unusable);
}

INSTANTIATE_TEST_SUITE_P(
    , PortalColorPickerUnusableTest,
    ::testing::Values(UnusablePortal{"NotRegistered", [](FakePortal&) {}, false},
                      UnusablePortal{"VersionOne", [](FakePortal& portal) { portal.version = 1; }},
                      UnusablePortal{"ErrorReply", [](FakePortal& portal) { portal.failPickColor = true; }},
                      UnusablePortal{"EndedOtherwise", [](FakePortal& portal) { portal.response = 2; }},
                      UnusablePortal{"NoColourInTheResults", [](FakePortal& portal) { portal.color.reset(); }},
                      UnusablePortal{"QuitsWhileTheUserPicks",
                                     [](FakePortal& portal) { portal.instead = [&portal] { portal.Vanish(); }; }}),
    [](const ::testing::TestParamInfo<UnusablePortal>& info) { return std::string(info.param.name); });

} // namespace
