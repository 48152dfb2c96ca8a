#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Makes an existing file or folder one that even root cannot change, for as long as it lives:
// read-only permissions, and where the file system allows it the immutable flag, which binds root
// too. A locked folder takes no new file; its files may still be written unless locked themselves.
class ReadOnlyPath
{
public:
    explicit ReadOnlyPath(const QString& path) : path(path), folder(QFileInfo(path).isDir())
    {
        const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadGroup;
        QFile::setPermissions(path, folder ? readable | QFile::ExeOwner | QFile::ExeGroup : readable);
        if (::geteuid() == 0)
            immutable = SetImmutable(true);
    }
    ~ReadOnlyPath()
    {
        if (immutable)
            SetImmutable(false);
        QFile::setPermissions(path,
                              QFile::ReadOwner | QFile::WriteOwner | (folder ? QFile::ExeOwner : QFile::Permissions()));
    }
    ReadOnlyPath(const ReadOnlyPath&) = delete;
    ReadOnlyPath& operator=(const ReadOnlyPath&) = delete;

    bool Holds() const { return ::geteuid() != 0 || immutable; }
    static constexpr const char* NotHeld =
        "running as root on a file system without the immutable flag: nothing can be made read-only here";

private:
    bool SetImmutable(bool on) const
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }

    QString path;
    bool folder;
    bool immutable = false;
};
