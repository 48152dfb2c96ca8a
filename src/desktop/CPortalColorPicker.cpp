#include "desktop/CPortalColorPicker.h"

#include "effects/ColorRef.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString ScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString RequestPathPrefix = QStringLiteral("/org/freedesktop/portal/desktop/request/");
const QString ResponseSignal = QStringLiteral("Response");

// PickColor arrived with version 2 of the Screenshot interface.
constexpr unsigned MinimumVersion = 2;

// The portal's answers in the Response signal.
constexpr unsigned ResponseSuccess = 0;
constexpr unsigned ResponseCancelled = 1;

QDBusMessage VersionQuery()
{
    QDBusMessage query = QDBusMessage::createMethodCall(
        PortalService, PortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    query << ScreenshotInterface << QStringLiteral("version");
    return query;
}

// The Screenshot interface's version, 0 when the reply is an error or not a number.
unsigned ScreenshotVersion(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("v"))
        return 0;
    const QVariant value = reply.arguments().at(0).value<QDBusVariant>().variant();
    const int type = value.metaType().id();
    if (type == QMetaType::UInt)
        return value.toUInt();
    if (type == QMetaType::Int)
        return static_cast<unsigned>(std::max(0, value.toInt()));
    return 0;
}

QDBusMessage PickColorCall(const QString& parentWindow, const QString& token)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, ScreenshotInterface, QStringLiteral("PickColor"));
    call << parentWindow << QVariantMap{{QStringLiteral("handle_token"), token}};
    return call;
}

// The request object path the portal answered, empty for an error or a malformed reply.
QString RequestPath(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("o"))
        return {};
    return reply.arguments().at(0).value<QDBusObjectPath>().path();
}

// Unique within this process, which is all the portal asks of a token on one connection.
QString NextToken()
{
    static unsigned serial = 0;
    return QStringLiteral("quorvel_pick_%1").arg(++serial);
}

// results["color"], a (ddd) of 0..1 channels, as 0x00BBGGRR; nothing when absent or malformed.
std::optional<std::uint32_t> ColorOf(const QVariantMap& results)
{
    const QVariant value = results.value(QStringLiteral("color"));
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(ddd)"))
        return std::nullopt;
    double red = 0;
    double green = 0;
    double blue = 0;
    argument.beginStructure();
    argument >> red >> green >> blue;
    argument.endStructure();
    return ColorRef::Make(CPortalColorPicker::ChannelByte(red), CPortalColorPicker::ChannelByte(green),
                          CPortalColorPicker::ChannelByte(blue));
}

} // namespace

CPortalColorPicker::CPortalColorPicker(const QDBusConnection& connection) : bus(connection) {}

std::uint8_t CPortalColorPicker::ChannelByte(double value)
{
    // Clamped before rounding: NaN and values far out of range have no meaningful lround.
    const double scaled = value * 255.0;
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 255.0)
        return 255;
    return static_cast<std::uint8_t>(std::lround(scaled));
}

std::optional<std::uint32_t> CPortalColorPicker::Pick(const QString& parentWindow)
{
    waiting = true;
    outcome = Outcome::Unusable;
    color.reset();
    portalOwner.clear();
    if (!bus.isConnected()) {
        Settle(Outcome::Unusable);
        return color;
    }

    QEventLoop wait;
    loop = &wait;
    // A portal that quits or is replaced while we wait never answers our request.
    QDBusServiceWatcher watcher(PortalService, bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString& /*service*/, const QString& oldOwner, const QString& newOwner) {
                if (newOwner.isEmpty() || (!portalOwner.isEmpty() && oldOwner == portalOwner))
                    Settle(Outcome::Unusable);
            });

    Request(parentWindow);
    // Still waiting means the loop was left from outside: the application is going away, and
    // opening our own picker then would be wrong.
    if (waiting)
        Settle(Outcome::Cancelled);
    Unsubscribe();
    loop = nullptr;
    return color;
}

void CPortalColorPicker::Request(const QString& parentWindow)
{
    const std::optional<QDBusMessage> version = Await(VersionQuery());
    if (!version)
        return;
    if (ScreenshotVersion(*version) < MinimumVersion) {
        Settle(Outcome::Unusable);
        return;
    }
    portalOwner = version->service();

    // Subscribed before the call: the portal may answer as soon as it has the request, before its
    // reply naming the request's path reaches us.
    const QString token = NextToken();
    Subscribe(PredictedHandle(token));
    const std::optional<QDBusMessage> reply = Await(PickColorCall(parentWindow, token));
    if (!reply)
        return;
    const QString path = RequestPath(*reply);
    if (path.isEmpty()) {
        Settle(Outcome::Unusable);
        return;
    }
    // Older portals make up their own path; an answer sent before we move there is lost, and the
    // user has to pick again.
    if (waiting && path != handle) {
        Unsubscribe();
        Subscribe(path);
    }
    if (waiting)
        loop->exec();
}

std::optional<QDBusMessage> CPortalColorPicker::Await(const QDBusMessage& call)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(call));
    connect(&watcher, &QDBusPendingCallWatcher::finished, loop, &QEventLoop::quit);
    if (waiting && !watcher.isFinished())
        loop->exec();
    if (!waiting || !watcher.isFinished())
        return std::nullopt;
    return watcher.reply();
}

void CPortalColorPicker::Subscribe(const QString& path)
{
    // Matched on the path alone and the sender checked in OnResponse: naming the portal's
    // well-known name here would have Qt look its owner up on the bus.
    if (bus.connect(QString(), path, RequestInterface, ResponseSignal, this, SLOT(OnResponse(QDBusMessage))))
        handle = path;
}

void CPortalColorPicker::Unsubscribe()
{
    if (handle.isEmpty())
        return;
    bus.disconnect(QString(), handle, RequestInterface, ResponseSignal, this, SLOT(OnResponse(QDBusMessage)));
    handle.clear();
}

void CPortalColorPicker::OnResponse(const QDBusMessage& message)
{
    // Anyone on the bus may send a signal on our request's path; only the portal's counts.
    if (!waiting || message.path() != handle || message.service() != portalOwner)
        return;
    if (message.signature() != QLatin1String("ua{sv}")) {
        Settle(Outcome::Unusable);
        return;
    }
    const unsigned response = message.arguments().at(0).toUInt();
    if (response == ResponseCancelled) {
        Settle(Outcome::Cancelled);
        return;
    }
    // Anything but a colour, including "ended some other way" (the portal's backend failing),
    // leaves our own picker to try.
    const std::optional<std::uint32_t> picked =
        response == ResponseSuccess ? ColorOf(qdbus_cast<QVariantMap>(message.arguments().at(1))) : std::nullopt;
    Settle(picked ? Outcome::Picked : Outcome::Unusable, picked);
}

void CPortalColorPicker::Settle(Outcome result, std::optional<std::uint32_t> picked)
{
    if (!waiting)
        return;
    waiting = false;
    outcome = result;
    color = picked;
    if (loop)
        loop->quit();
}

QString CPortalColorPicker::PredictedHandle(const QString& token) const
{
    // The portal builds the path from our unique name without its leading ':' and with '.' as '_'.
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return RequestPathPrefix + sender + QLatin1Char('/') + token;
}
