#include "platform/CAtomicFileWriter.h"

#include "support/ReadOnlyPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{QStringLiteral("picture.png")});
}

} // namespace
