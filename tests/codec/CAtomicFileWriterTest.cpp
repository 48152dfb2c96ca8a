#include "codec/CAtomicFileWriter.h"

#include "support/ReadOnlyPath.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(AtomicFilePlacement, NamesTheFileOnlyWhereNoFileIs)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.part"));
    const QString second = dir.filePath(QStringLiteral("second.part"));
    const QString target = dir.filePath(QStringLiteral("result.png"));
    ASSERT_TRUE(CAtomicFileWriter::Write(first, "first"));
    ASSERT_TRUE(CAtomicFileWriter::Write(second, "second"));

    EXPECT_EQ(CAtomicFileWriter::PlaceWithoutReplacing(first, target), CAtomicFileWriter::Placement::Placed);
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_EQ(CAtomicFileWriter::PlaceWithoutReplacing(second, target), CAtomicFileWriter::Placement::TargetExists);
    EXPECT_EQ(Read(target), QByteArray("first"));
    EXPECT_EQ(Read(second), QByteArray("second"));
    EXPECT_EQ(CAtomicFileWriter::PlaceWithoutReplacing(dir.filePath(QStringLiteral("gone")),
                                                       dir.filePath(QStringLiteral("other.png"))),
              CAtomicFileWriter::Placement::Failed);
}

// A folder that takes no new file cannot hold a temporary one: a file there that may be written is
// written in place, to exactly the new bytes, fewer or more than before, and nothing else appears.
TEST(AtomicFileWrite, WritesAFileInAFolderThatTakesNoNewOne)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/picture.png");
    ASSERT_TRUE(CAtomicFileWriter::Write(path, QByteArray(5000, 'a')));
    const ReadOnlyPath locked(folder);
    if (!locked.Holds())
        GTEST_SKIP() << ReadOnlyPath::NotHeld;

    for (const QByteArray& bytes : {QByteArray(300, 'b'), QByteArray(70000, 'c')}) {
        ASSERT_TRUE(CAtomicFileWriter::Write(path, bytes));
        EXPECT_EQ(Read(path), bytes);
    }
    EXPECT_FALSE(CAtomicFileWriter::Write(folder + QStringLiteral("/new.png"), "new"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("picture.png")});
}

// A folder the user may write but not read (mode 0300) cannot be opened to sync the new name; the
// file is in place all the same, so the write succeeded.
TEST(AtomicFileWrite, AFolderThatCannotBeReadStillTakesTheFile)
{
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString folder = dir.filePath(QStringLiteral("drop"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray name = QFile::encodeName(folder);
    ASSERT_EQ(::chown(name.constData(), ::geteuid() == 0 ? 65534 : ::geteuid(), gid_t(-1)), 0);
    ASSERT_EQ(::chmod(name.constData(), 0300), 0);
    const QString path = folder + QStringLiteral("/picture.png");
    const QString part = folder + QStringLiteral("/.picture.part");
    const int written = RunUnprivileged([&] {
        return CAtomicFileWriter::Write(path, "new") && CAtomicFileWriter::Write(part, "other") &&
               CAtomicFileWriter::PlaceWithoutReplacing(part, folder + QStringLiteral("/other.png")) ==
                   CAtomicFileWriter::Placement::Placed;
    });
    ASSERT_NE(written, -1) << "could not become an unprivileged user";
    ::chmod(name.constData(), 0700);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(Read(path), QByteArray("new"));
    EXPECT_EQ(Read(folder + QStringLiteral("/other.png")), QByteArray("other"));
}

// Whether process `pid` holds an open file in `folder` (the unnamed file of a save under way).
bool WritesInto(pid_t pid, const QString& folder)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget().startsWith(folder + QLatin1Char('/')))
            return true;
    return false;
}

// A save killed half-way leaves nothing behind: its file has no name until it is complete.
TEST(AtomicFileWrite, AKilledSaveLeavesNoFile)
{
    QTemporaryDir dir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    for (const auto mode : {CAtomicFileWriter::Mode::Create, CAtomicFileWriter::Mode::Replace}) {
        const QString path = folder + QStringLiteral("/picture.png");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const QByteArray data(512 << 20, 'x');
            ::_exit(CAtomicFileWriter::Write(path, data, mode) ? 0 : 1);
        }
        bool caught = false;
        for (int i = 0; i < 20000 && !caught; ++i) {
            caught = WritesInto(child, folder);
            if (!caught)
                ::usleep(500);
        }
        if (caught)
            ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (!caught || !WIFSIGNALED(status))
            GTEST_SKIP() << "the save ended before it could be interrupted";
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                  QStringList())
            << "mode " << int(mode);
    }
}

} // namespace
