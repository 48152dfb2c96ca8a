#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <utility>

// A small HTTP server on 127.0.0.1 for the update check's tests, run by the test's event loop.
class LoopbackHttpServer : public QObject
{
public:
    enum class Mode
    {
        Serve,    // 200 with `body`, after `redirects` redirects
        NotFound, // 404 with `body`
        Endless,  // 200, then data for as long as the client reads
        Stall,    // answers only when released
    };

    LoopbackHttpServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    ++closed;
                    socket->deleteLater();
                });
            }
        });
    }

    QUrl Url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/r0/Zephalindor_version.txt").arg(server.serverPort()));
    }
    // An address where nothing listens.
    static QUrl RefusingUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return QUrl(QStringLiteral("http://127.0.0.1:%1/Zephalindor_version.txt").arg(port));
    }

    // Answers the stalled requests with 200 and `content`.
    void Release(const QByteArray& content)
    {
        for (const QPointer<QTcpSocket>& socket : std::exchange(stalled, {}))
            if (socket)
                Reply(socket, "200 OK", content);
    }

    Mode mode = Mode::Serve;
    QByteArray body;
    int redirects = 0;
    int requests = 0;
    int closed = 0; // connections the client closed

private:
    void Read(QTcpSocket* socket)
    {
        QByteArray& request = pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        ++requests;
        const QByteArray path = request.split(' ').value(1);
        request.clear();
        const int step = path.mid(2, path.indexOf('/', 1) - 2).toInt(); // "/r<step>/..."
        switch (mode) {
        case Mode::Stall:
            stalled.append(socket);
            return;
        case Mode::NotFound:
            Reply(socket, "404 Not Found", body);
            return;
        case Mode::Endless:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
            Flood(socket);
            return;
        case Mode::Serve:
            if (step < redirects) {
                socket->write("HTTP/1.1 302 Found\r\nLocation: /r" + QByteArray::number(step + 1) +
                              "/Zephalindor_version.txt\r\nContent-Length: 0\r\n\r\n");
                return;
            }
            Reply(socket, "200 OK", body);
            return;
        }
    }

    static void Reply(QTcpSocket* socket, const QByteArray& status, const QByteArray& content)
    {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(content.size()) + "\r\n\r\n" + content);
    }

    // Keeps writing while the client keeps the connection.
    void Flood(QTcpSocket* socket)
    {
        QPointer<QTcpSocket> alive(socket);
        socket->write(QByteArray(8192, 'x'));
        QTimer::singleShot(1, this, [this, alive] {
            if (alive && alive->state() == QAbstractSocket::ConnectedState)
                Flood(alive);
        });
    }

    QTcpServer server;
    QHash<QTcpSocket*, QByteArray> pending;
    QList<QPointer<QTcpSocket>> stalled;
};
