#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

class QEventLoop;

// Asks the desktop portal to let the user pick a colour on the screen. Waits in a local event
// loop, so the application keeps painting, and never blocks on the bus. A cancel by the user and a
// portal that cannot pick at all are told apart: only the second calls for our own picker.
class CPortalColorPicker : public QObject
{
    Q_OBJECT

public:
    enum class Outcome
    {
        Picked,
        Cancelled, // the user dismissed the portal's picker
        Unusable,  // no bus, no portal, a portal too old, or one that failed or went away
    };

    // `bus` is the session bus in the application, a private bus in tests.
    explicit CPortalColorPicker(const QDBusConnection& bus);

    // Runs one pick and answers the colour as 0x00BBGGRR, or nothing when the user cancelled or the
    // portal is unusable; LastOutcome() says which. `parentWindow` is the portal's window
    // identifier of the window the picker belongs to ("x11:<hex id>"), or empty. Not reentrant.
    std::optional<std::uint32_t> Pick(const QString& parentWindow = {});
    Outcome LastOutcome() const { return outcome; }

    // One channel from the portal's 0..1 scale to a byte: rounded, out-of-range values clamped.
    static std::uint8_t ChannelByte(double value);

private Q_SLOTS:
    void OnResponse(const QDBusMessage& message);

private:
    // The version check, the call and the wait for the user; every way out settles the outcome
    // except the event loop being left from outside (the application quitting).
    void Request(const QString& parentWindow);
    // Sends `call` and waits for its reply; nothing when the pick ended first or the loop was left.
    std::optional<QDBusMessage> Await(const QDBusMessage& call);
    void Subscribe(const QString& path);
    void Unsubscribe();
    // Ends the wait with `result`; later answers are ignored.
    void Settle(Outcome result, std::optional<std::uint32_t> picked = std::nullopt);
    // The request object path the portal will use for `token`, so the Response signal can be
    // subscribed before the call is sent.
    QString PredictedHandle(const QString& token) const;

    QDBusConnection bus;
    QEventLoop* loop = nullptr; // the running Pick()'s wait
    bool waiting = false;
    Outcome outcome = Outcome::Unusable;
    std::optional<std::uint32_t> color;
    QString portalOwner; // the portal's unique bus name: Response must come from it
    QString handle;      // the request object path subscribed to, empty when none
};
