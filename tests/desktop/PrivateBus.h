#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

// A D-Bus daemon of the test's own, alive as long as the object. Its configuration has no service
// directories, so nothing installed on the machine can be activated in place of a test's fake.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !folder.isValid())
            return;
        QFile config(folder.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(
            QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>\n"
                           "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                           "<allow own=\"*\"/>"
                           "</policy></busconfig>\n")
                .arg(folder.path())
                .toUtf8());
        config.close();
        // Killed with the test process, should that die before the destructor runs.
        daemonProcess.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        daemonProcess.start(daemon, {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                                     QStringLiteral("--config-file=") + config.fileName()});
        // The daemon prints its address once it listens.
        while (address.isEmpty() && daemonProcess.waitForReadyRead(5000)) {
            if (daemonProcess.canReadLine())
                address = QString::fromUtf8(daemonProcess.readLine()).trimmed();
        }
    }

    ~PrivateBus()
    {
        for (const QString& name : std::as_const(connections))
            QDBusConnection::disconnectFromBus(name);
        daemonProcess.kill();
        daemonProcess.waitForFinished(5000);
    }

    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    static bool DaemonInstalled() { return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(); }
    bool IsRunning() const { return !address.isEmpty(); }
    QString Address() const { return address; }

    // A connection of its own to the bus; `role` tells the connections of one test apart.
    QDBusConnection Connect(const QString& role)
    {
        connections.append(role + QLatin1Char('@') + address);
        return QDBusConnection::connectToBus(address, connections.last());
    }

private:
    QTemporaryDir folder;
    QProcess daemonProcess;
    QString address;
    QStringList connections;
};
