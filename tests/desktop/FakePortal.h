#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QVariantMap>

#include <array>
#include <functional>
#include <optional>

// The desktop portal's Screenshot object on a test's bus, answering as scripted and recording what
// it was asked.
class FakePortal : public QDBusVirtualObject
{
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString Screenshot = QStringLiteral("org.freedesktop.portal.Screenshot");

    // The script.
    unsigned version = 2;
    bool failPickColor = false;  // an error reply instead of the request's path
    bool ownRequestPath = false; // a path not made from the token, as portals before tokens used
    bool respondBeforeReply = false;
    unsigned response = 0;
    std::optional<std::array<double, 3>> color = std::array{0.6, 0.4, 0.2};
    // Runs instead of the Response signal, after the reply.
    std::function<void()> instead;

    // What was asked.
    int pickColorCalls = 0;
    QString parentWindow;
    QVariantMap options;
    QString requestPath;

    explicit FakePortal(const QDBusConnection& connection) : bus(connection) {}

    bool Register()
    {
        return bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), this) &&
               bus.registerService(Service);
    }
    void Vanish() { bus.unregisterService(Service); }
    void Send(const QDBusMessage& message) { bus.send(message); }

    QDBusMessage Response() const
    {
        QDBusMessage signal = QDBusMessage::createSignal(requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        QVariantMap results;
        if (color) {
            QDBusArgument rgb;
            rgb.beginStructure();
            rgb << (*color)[0] << (*color)[1] << (*color)[2];
            rgb.endStructure();
            results.insert(QStringLiteral("color"), QVariant::fromValue(rgb));
        }
        signal << response << results;
        return signal;
    }

    QString introspect(const QString& /*path*/) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& /*connection*/) override
    {
        Answer(message);
        return true;
    }

private:
    void Answer(const QDBusMessage& message)
    {
        const QVariantList arguments = message.arguments();
        if (message.member() == QLatin1String("Get") && arguments.value(0).toString() == Screenshot &&
            arguments.value(1).toString() == QLatin1String("version")) {
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(version))));
        } else if (message.interface() == Screenshot && message.member() == QLatin1String("PickColor")) {
            ++pickColorCalls;
            parentWindow = arguments.value(0).toString();
            options = qdbus_cast<QVariantMap>(arguments.value(1));
            if (failPickColor) {
                bus.send(message.createErrorReply(QDBusError::AccessDenied, QStringLiteral("not allowed")));
                return;
            }
            const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
            const QString token =
                ownRequestPath ? QStringLiteral("own") : options.value(QStringLiteral("handle_token")).toString();
            requestPath =
                QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') + token;
            const QDBusMessage reply = message.createReply(QVariant::fromValue(QDBusObjectPath(requestPath)));
            if (respondBeforeReply)
                bus.send(Response());
            bus.send(reply);
            if (instead)
                instead();
            else if (!respondBeforeReply)
                bus.send(Response());
        } else {
            bus.send(message.createErrorReply(QDBusError::UnknownProperty, message.member()));
        }
    }

    QDBusConnection bus;
};
