#pragma once

#include <QByteArray>
#include <QString>

// Writes a file in one step: the new bytes go to a file of their own beside it, which takes the
// name only once every byte is on disk, so a failure at any point leaves the old file as it was.
// Where the file system offers unnamed files, that file has no name until it is complete, so a
// process killed while writing leaves nothing behind.
class CAtomicFileWriter
{
public:
    enum class Mode
    {
        Replace, // an existing file of the name is replaced
        Create,  // an existing file is never replaced, even one that appears meanwhile
    };

    // True only when `data` is the whole content of `path`, synced, under its name. On failure `why`
    // (when given) receives the system's error text; with Create, an existing file fails with
    // EEXIST's. Where the folder takes no new file but `path` is a writable regular file, Replace
    // writes into that file itself: room for the bytes is reserved first, so a full disk leaves it
    // as it was, while a failure after that (an I/O error, a kill) can leave it damaged.
    static bool Write(const QString& path, const QByteArray& data, Mode mode = Mode::Replace, QString* why = nullptr);

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
    enum class Attempt
    {
        Done,
        Failed, // errno says why
        Unsupported,
    };
    // Through an unnamed file (O_TMPFILE) that is linked under its name when complete.
    static Attempt WriteUnnamed(const QString& path, const QByteArray& data, Mode mode);
    // Through a named temporary file beside `path`.
    static Attempt WriteNamed(const QString& path, const QByteArray& data, Mode mode);
    static bool WriteInPlace(const QString& path, const QByteArray& data);
    // Makes the rename durable: the directory entry lives in the directory, not in the file. Only
    // an extra: once the new file has its name the write has succeeded, and a folder the user may
    // write but not read (mode 0300) cannot be opened for the sync at all.
    static void SyncDirectory(const QString& directory);
};
