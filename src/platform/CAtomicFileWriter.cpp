#include "platform/CAtomicFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

bool CAtomicFileWriter::Write(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A short write or a failed flush (a full disk) must not reach commit(), which would
    // otherwise put a truncated file in place of the old one.
    if (file.write(data) != data.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit() && SyncDirectory(QFileInfo(path).absolutePath());
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
