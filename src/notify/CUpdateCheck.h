#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QThread;

// The check for a newer version, made once per start. The version file is fetched on a worker
// thread of its own, kept in memory and read there; the user-interface thread never waits for the
// network. When the file names a newer version and an address that may be opened, `offer` runs on
// the thread that made this object. Every failure is silent.
//
// Destroying the object abandons the check: a fetch still under way is aborted and nothing is
// offered any more.
class CUpdateCheck : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 maxBytes = 64 * 1024;
        std::chrono::milliseconds timeout{15000}; // the whole fetch, redirects included
        int maxRedirects = 3;
    };

    static constexpr double RunningVersion = 1.0;
    static constexpr qsizetype MaxAddressLength = 2048;

    // The address the build was configured with.
    static QUrl DefaultEndpoint();

    CUpdateCheck(const QUrl& endpoint, std::function<void(const QUrl&)> offer, QObject* parent = nullptr);
    CUpdateCheck(const QUrl& endpoint, std::function<void(const QUrl&)> offer, QObject* parent, const Limits& limits);
    ~CUpdateCheck() override;

    // The decimal number a line starts with: leading white space, an optional sign, digits with an
    // optional fraction, an optional exponent; the rest ignored. 0.0 when the line starts with none.
    static double LeadingNumber(QByteArrayView line);
    // The address a version file offers: line 2, when line 1's number is above the running version
    // and line 2 is a plain http or https address (no user name or password, at most
    // MaxAddressLength characters). Lines may end in CR LF.
    static std::optional<QUrl> OfferedAddress(const QByteArray& file);

Q_SIGNALS:
    // The worker is done, after any offer it made.
    void Finished();

private:
    struct Shared;
    // Runs on the worker thread.
    static std::optional<QByteArray> Fetch(const QUrl& endpoint, const Limits& limits, Shared& shared);
    static void Work(QUrl endpoint, Limits limits, std::shared_ptr<Shared> shared);

    std::function<void(const QUrl&)> offer;
    std::shared_ptr<Shared> shared;
    QPointer<QThread> worker;
};
