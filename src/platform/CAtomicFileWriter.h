#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file in one step: the new bytes go to a temporary file beside it, which takes the
// old file's name only once every byte is on disk. A failure at any point leaves the old file as
// it was.
class CAtomicFileWriter
{
public:
    // True only when `data` is the whole content of `path` and the rename is on disk.
    static bool Write(const QString& path, const QByteArray& data);

private:
    // Makes the rename durable: the directory entry lives in the directory, not in the file.
    static bool SyncDirectory(const QString& directory);
};
