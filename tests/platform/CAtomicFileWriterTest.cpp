#include "platform/CAtomicFileWriter.h"

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

} // namespace
