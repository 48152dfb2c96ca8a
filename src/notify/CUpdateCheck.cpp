#include "notify/CUpdateCheck.h"

#include <QEventLoop>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

#include <cctype>
#include <charconv>
#include <cmath>
#include <mutex>
#include <string>

// What the owner and its worker share. The owner goes first when the editor closes, so everything
// the worker does towards it happens under the lock and only while it is not abandoned.
struct CUpdateCheck::Shared
{
    std::mutex mutex;
    bool abandoned = false;
    QEventLoop* fetching = nullptr; // the worker's wait for the network, while it lasts
    QPointer<CUpdateCheck> owner;
};

namespace {

bool IsHttp(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Hosts under the reserved top-level name "invalid" never resolve; asking a resolver about them
// could only hold up the editor's exit.
bool NeverResolves(const QUrl& url)
{
    const QString host = url.host().toLower();
    return host == QLatin1String("invalid") || host.endsWith(QLatin1String(".invalid"));
}

QByteArray Line(const QList<QByteArray>& lines, qsizetype index)
{
    QByteArray line = index < lines.size() ? lines[index] : QByteArray();
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

QUrl CUpdateCheck::DefaultEndpoint()
{
    return QUrl(QStringLiteral(QUORVEL_UPDATE_URL)); // set when configuring
}

CUpdateCheck::CUpdateCheck(const QUrl& endpoint, std::function<void(const QUrl&)> onNewer, QObject* parent)
    : CUpdateCheck(endpoint, std::move(onNewer), parent, Limits{})
{
}

CUpdateCheck::CUpdateCheck(const QUrl& endpoint, std::function<void(const QUrl&)> onNewer, QObject* parent,
                           const Limits& limits)
    : QObject(parent), offer(std::move(onNewer)), shared(std::make_shared<Shared>())
{
    shared->owner = this;
    worker = QThread::create(&CUpdateCheck::Work, endpoint, limits, shared);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

CUpdateCheck::~CUpdateCheck()
{
    {
        const std::lock_guard lock(shared->mutex);
        shared->abandoned = true;
        if (shared->fetching)
            QMetaObject::invokeMethod(shared->fetching, [loop = shared->fetching] { loop->exit(1); });
    }
    // The abort ends the worker at once; waiting for it keeps it from running on while the
    // application tears down. Bounded, so a worker stuck in the system can never hold up the exit.
    if (worker)
        worker->wait(3000);
}

double CUpdateCheck::LeadingNumber(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
        ++i;
    std::string number;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        number += line[i++];
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
            number += line[i++];
        return i - start;
    };
    qsizetype mantissa = digits();
    if (i < line.size() && line[i] == '.') {
        number += line[i++];
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0.0;
    // An exponent counts only with digits after it.
    if (i < line.size() && (line[i] == 'e' || line[i] == 'E')) {
        const std::string before = number;
        number += 'e';
        ++i;
        if (i < line.size() && (line[i] == '+' || line[i] == '-'))
            number += line[i++];
        if (digits() == 0)
            number = before;
    }
    const char* first = number.data() + (number.front() == '+' ? 1 : 0);
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    static_cast<void>(end);
    if (error == std::errc::result_out_of_range)
        return number.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    return value;
}

std::optional<QUrl> CUpdateCheck::OfferedAddress(const QByteArray& file)
{
    const QList<QByteArray> lines = file.split('\n');
    if (!(LeadingNumber(Line(lines, 0)) > RunningVersion))
        return std::nullopt;
    const QByteArray text = Line(lines, 1);
    if (text.isEmpty() || text.size() > MaxAddressLength)
        return std::nullopt;
    const QUrl address(QString::fromUtf8(text), QUrl::StrictMode);
    if (!address.isValid() || !IsHttp(address) || address.host().isEmpty() || !address.userInfo().isEmpty())
        return std::nullopt;
    return address;
}

std::optional<QByteArray> CUpdateCheck::Fetch(const QUrl& endpoint, const Limits& limits, Shared& shared)
{
    if (!endpoint.isValid() || !IsHttp(endpoint) || NeverResolves(endpoint))
        return std::nullopt;
    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkRequest request(endpoint);
    request.setMaximumRedirectsAllowed(limits.maxRedirects);

    QEventLoop loop;
    {
        const std::lock_guard lock(shared.mutex);
        if (shared.abandoned)
            return std::nullopt;
        shared.fetching = &loop;
    }
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > limits.maxBytes) {
            tooLarge = true;
            loop.exit(1);
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, [&] { loop.exit(0); });
    QTimer::singleShot(limits.timeout, &loop, [&] { loop.exit(1); });
    const int result = reply->isFinished() ? 0 : loop.exec();
    {
        const std::lock_guard lock(shared.mutex);
        shared.fetching = nullptr;
    }
    if (result != 0 || tooLarge || reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    QByteArray file = reply->readAll();
    if (file.size() > limits.maxBytes)
        return std::nullopt;
    return file;
}

void CUpdateCheck::Work(QUrl endpoint, Limits limits, std::shared_ptr<Shared> shared)
{
    const std::optional<QByteArray> file = Fetch(endpoint, limits, *shared);
    const std::optional<QUrl> address = file ? OfferedAddress(*file) : std::nullopt;
    const std::lock_guard lock(shared->mutex);
    if (shared->abandoned)
        return;
    // Queued to the owner's thread; Qt drops the call if the owner is gone before it runs.
    QMetaObject::invokeMethod(shared->owner, [owner = shared->owner, address] {
        if (address && owner->offer)
            owner->offer(*address);
        if (owner)
            Q_EMIT owner->Finished();
    });
}
