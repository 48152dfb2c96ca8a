#include "codec/CAtomicFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// A hidden name beside `path` that no file has yet; the extension stays last.
QString Beside(const QString& path)
{
    const QFileInfo target(path);
    const QString tag = QString::number(QRandomGenerator::global()->generate64(), 16);
    return target.dir().filePath(QStringLiteral(".%1.%2.%3").arg(target.completeBaseName(), tag, target.suffix()));
}

// Every byte of `data` at the file's current position; false with errno set.
bool WriteAll(int fd, const QByteArray& data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

// An errno-preserving close for the failure paths.
void Discard(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
}

} // namespace

bool CAtomicFileWriter::Write(const QString& named, const QByteArray& data, Mode mode, QString* why)
{
    // A link is followed: the file it names is the one replaced.
    const QFileInfo link(named);
    const QString path = mode == Mode::Replace && link.isSymLink() && link.exists() ? link.canonicalFilePath() : named;
    Attempt attempt = WriteUnnamed(path, data, mode);
    if (attempt == Attempt::Unsupported)
        attempt = WriteNamed(path, data, mode);
    if (attempt == Attempt::Done)
        return true;
    const int error = errno;
    // access() also sees what binds root: a read-only mount, an immutable folder.
    if (mode == Mode::Replace && ::access(Native(QFileInfo(path).absolutePath()).constData(), W_OK) != 0 &&
        WriteInPlace(path, data))
        return true;
    if (why)
        *why = QString::fromLocal8Bit(std::strerror(error ? error : EIO));
    return false;
}

CAtomicFileWriter::Attempt CAtomicFileWriter::WriteUnnamed(const QString& path, const QByteArray& data, Mode mode)
{
    const QString folder = QFileInfo(path).absolutePath();
    // Naming an unnamed file goes through its /proc link.
    if (::access("/proc/self/fd", X_OK) != 0)
        return Attempt::Unsupported;
    const int fd = ::open(Native(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? Attempt::Unsupported : Attempt::Failed;
    struct stat old = {};
    if (mode == Mode::Replace && ::stat(Native(path).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777); // a replaced file keeps its permissions
    if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
        Discard(fd);
        return Attempt::Failed;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    // Create links the finished file under its name, which fails where a file has it; Replace links
    // it under a fresh name and renames that over the old file.
    const QString name = mode == Mode::Create ? path : Beside(path);
    const bool linked =
        ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, Native(name).constData(), AT_SYMLINK_FOLLOW) == 0;
    Discard(fd);
    if (!linked)
        return Attempt::Failed;
    if (mode == Mode::Replace && ::rename(Native(name).constData(), Native(path).constData()) != 0) {
        const int error = errno;
        ::unlink(Native(name).constData());
        errno = error;
        return Attempt::Failed;
    }
    SyncDirectory(folder);
    return Attempt::Done;
}

CAtomicFileWriter::Attempt CAtomicFileWriter::WriteNamed(const QString& path, const QByteArray& data, Mode mode)
{
    const QString target = mode == Mode::Create ? Beside(path) : path;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return Attempt::Failed;
    // A short write or a failed flush (a full disk) must not reach commit(), which would
    // otherwise put a truncated file in place of the old one.
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        return Attempt::Failed;
    }
    if (!file.commit())
        return Attempt::Failed;
    if (mode == Mode::Replace) {
        SyncDirectory(QFileInfo(path).absolutePath());
        return Attempt::Done;
    }
    switch (PlaceWithoutReplacing(target, path)) {
    case Placement::Placed:
        return Attempt::Done;
    case Placement::TargetExists:
        QFile::remove(target);
        errno = EEXIST;
        return Attempt::Failed;
    case Placement::Failed:
        break;
    }
    const int error = errno;
    QFile::remove(target);
    errno = error;
    return Attempt::Failed;
}

bool CAtomicFileWriter::WriteInPlace(const QString& path, const QByteArray& data)
{
    // Non-blocking, so a FIFO put in the file's place cannot hold the open; only a regular file is
    // written. The old bytes stay until the new ones have their room.
    const int fd = ::open(Native(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat facts = {};
    const auto size = off_t(data.size());
    bool written = ::fstat(fd, &facts) == 0 && S_ISREG(facts.st_mode);
    if (written && size > 0 && ::fallocate(fd, 0, 0, size) != 0)
        written = errno != ENOSPC && errno != EDQUOT; // elsewhere the file system reserves nothing
    written = written && WriteAll(fd, data) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

void CAtomicFileWriter::SyncDirectory(const QString& directory)
{
    const int fd = ::open(Native(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

CAtomicFileWriter::Placement CAtomicFileWriter::PlaceWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = Native(from);
    const QByteArray target = Native(to);
    int result = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the flag: a hard link also refuses an existing name.
        result = ::link(source.constData(), target.constData());
        if (result == 0)
            ::unlink(source.constData());
    }
    if (result != 0)
        return errno == EEXIST ? Placement::TargetExists : Placement::Failed;
    SyncDirectory(QFileInfo(to).absolutePath());
    return Placement::Placed;
}
