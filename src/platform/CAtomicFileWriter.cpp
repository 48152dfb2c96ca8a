#include "platform/CAtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool CAtomicFileWriter::Write(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // access() also sees what binds root: a read-only mount, an immutable folder.
        const bool folderRefuses = ::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK) != 0;
        return folderRefuses && WriteInPlace(path, data);
    }
    // A short write or a failed flush (a full disk) must not reach commit(), which would
    // otherwise put a truncated file in place of the old one.
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit() && SyncDirectory(QFileInfo(path).absolutePath());
}

bool CAtomicFileWriter::WriteInPlace(const QString& path, const QByteArray& data)
{
    // Non-blocking, so a FIFO put in the file's place cannot hold the open; only a regular file is
    // written. The old bytes stay until the new ones have their room.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat facts = {};
    const auto size = off_t(data.size());
    bool written = ::fstat(fd, &facts) == 0 && S_ISREG(facts.st_mode);
    if (written && size > 0 && ::fallocate(fd, 0, 0, size) != 0)
        written = errno != ENOSPC && errno != EDQUOT; // elsewhere the file system reserves nothing
    for (off_t done = 0; written && done < size;) {
        const ssize_t n = ::pwrite(fd, data.constData() + done, std::size_t(size - done), done);
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            written = false;
    }
    written = written && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

bool CAtomicFileWriter::SyncDirectory(const QString& directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

CAtomicFileWriter::Placement CAtomicFileWriter::PlaceWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int result = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the flag: a hard link also refuses an existing name.
        result = ::link(source.constData(), target.constData());
        if (result == 0)
            ::unlink(source.constData());
    }
    if (result != 0)
        return errno == EEXIST ? Placement::TargetExists : Placement::Failed;
    return SyncDirectory(QFileInfo(to).absolutePath()) ? Placement::Placed : Placement::Failed;
}
