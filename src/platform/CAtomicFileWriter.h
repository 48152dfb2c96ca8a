#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file in one step: the new bytes go to a temporary file beside it, which takes the
// old file's name only once every byte is on disk. A failure at any point leaves the old file as
// it was.
class CAtomicFileWriter
{
public:
    // True only when `data` is the whole content of `path` and on disk. Where the folder takes no
    // new file but `path` is a writable regular file, the bytes go into that file itself: room for
    // them is reserved first, so a full disk leaves it as it was, while a failure after that (an
    // I/O error, a kill) can leave it damaged.
    static bool Write(const QString& path, const QByteArray& data);

    enum class Placement
    {
        Placed,
        TargetExists, // `from` is left where it was
        Failed,
    };
    // Gives the finished file `from` the name `to` in the same directory, in one step and only if
    // no file has that name: an existing file is never replaced, even one that appears meanwhile.
    static Placement PlaceWithoutReplacing(const QString& from, const QString& to);

private:
    static bool WriteInPlace(const QString& path, const QByteArray& data);
    // Makes the rename durable: the directory entry lives in the directory, not in the file.
    static bool SyncDirectory(const QString& directory);
};
